# Makes the .eml fixtures of the mail tests: one message per Japanese encoding.
# Run in this folder: python3 make_fixtures.py
import base64, quopri
from email.header import Header
from email.utils import formataddr

def encode(body, charset, cte):
    raw = body.replace("\n", "\r\n").encode(charset)
    if cte == "base64":
        return base64.encodebytes(raw).decode().replace("\n", "\r\n")
    if cte == "8bit":
        return raw.decode("latin-1")
    if cte == "quoted-printable":
        return quopri.encodestring(raw).decode().replace("\r\n", "\n").replace("=0D\n", "\n").replace("\n", "\r\n")
    return raw.decode("latin-1")  # 7bit ISO-2022-JP

def part(body, charset, cte, subtype="plain"):
    return ("Content-Type: text/%s; charset=%s\r\nContent-Transfer-Encoding: %s\r\n\r\n%s"
            % (subtype, charset, cte, encode(body, charset, cte)))

def header(text, charset, enc):
    return Header(text, charset).encode() if enc == "b" else \
        "=?%s?Q?%s?=" % (charset, "".join("=%02X" % b for b in text.encode(charset)))

def write(name, subject, from_, date, mime):
    text = ("From: %s\r\nTo: info@example.co.jp\r\nSubject: %s\r\nDate: %s\r\nMessage-ID: <%s@example.jp>\r\n"
            "MIME-Version: 1.0\r\n%s" % (from_, subject, date, name, mime))
    with open(name, "wb") as f:
        f.write(text.encode("latin-1"))

def sender(name, charset, addr):
    return "%s <%s>" % (Header(name, charset).encode(), addr) if name else addr

write("iso2022jp.eml", header("見積もり依頼（ボールペン）", "iso-2022-jp", "b"),
      sender("田中 一郎", "iso-2022-jp", "tanaka@example.jp"), "Mon, 07 Dec 2026 09:15:00 +0900",
      part("お見積もりをお願いします。\n数量は１０個です。\n", "iso-2022-jp", "7bit"))

write("shift_jis_qp.eml", header("納期の問い合わせ", "shift_jis", "q"),
      sender("鈴木 花子", "shift_jis", "Hanako.Suzuki@Example.JP"), "Mon, 07 Dec 2026 10:00:00 +0900",
      part("納期を教えてください。\n高橋様の件です。\n", "Shift_JIS", "quoted-printable"))

write("euc_jp_base64.eml", header("カタログ請求", "euc-jp", "b"),
      sender("佐々木", "euc-jp", "sasaki@example.jp"), "Mon, 07 Dec 2026 11:00:00 +0900",
      part("カタログを送ってください。\n", "EUC-JP", "base64"))

write("utf8_multipart.eml", header("修理依頼 – 至急", "utf-8", "b"),
      sender("山本", "utf-8", "yamamoto@example.jp"), "Mon, 07 Dec 2026 12:00:00 +0900",
      'Content-Type: multipart/mixed; boundary="outer"\r\n\r\n--outer\r\n'
      'Content-Type: multipart/alternative; boundary="inner"\r\n\r\n--inner\r\n'
      + part("修理の依頼です。\n型番 AB-100\n", "utf-8", "base64") + "\r\n--inner\r\n"
      + part("<p>修理の<b>依頼</b>です。</p>", "utf-8", "quoted-printable", "html") + "\r\n--inner--\r\n"
      "\r\n--outer\r\nContent-Type: application/octet-stream; name=photo.txt\r\n"
      'Content-Disposition: attachment; filename="photo.txt"\r\nContent-Transfer-Encoding: base64\r\n\r\n'
      + encode("添付です\n", "utf-8", "base64") + "\r\n--outer--\r\n")

write("utf8_html_only.eml", header("在庫確認", "utf-8", "q"), "stock@example.jp", "Mon, 07 Dec 2026 13:00:00 +0900",
      part("<html><head><style>p {color: red}</style></head><body><p>在庫はありますか？</p><p>A &amp; B 社</p></body></html>",
           "utf-8", "quoted-printable", "html"))

# Old mailers: headers in raw ISO-2022-JP (escape sequences, no encoded word) and raw 8-bit Shift_JIS.
write("iso2022jp_raw_header.eml", "見積もりのお願い".encode("iso-2022-jp").decode("latin-1"),
      "%s <kato@example.jp>" % "加藤".encode("iso-2022-jp").decode("latin-1"), "Mon, 07 Dec 2026 14:00:00 +0900",
      part("よろしくお願いします。\n", "iso-2022-jp", "7bit"))
write("shift_jis_raw_header.eml", "価格表の送付".encode("shift_jis").decode("latin-1"),
      "%s <ito@example.jp>" % "伊藤".encode("shift_jis").decode("latin-1"), "Mon, 07 Dec 2026 15:00:00 +0900",
      part("価格表をください。\n", "Shift_JIS", "8bit"))
