#include "records/order_entry.h"

#include "records/check.h"
#include "records/number_text.h"

namespace {

// A decimal number held exactly as an integer and a count of decimal places, so that prices with
// fractions multiply without the rounding of floating point.
struct Scaled {
    qint64 digits = 0;
    int scale = 0;
};

std::optional<Scaled> to_scaled(const QString& text) {
    const std::optional<QString> plain = plain_number(text);
    if (!plain)
        return std::nullopt;
    QString integer = *plain;
    QString fraction;
    const qsizetype point = integer.indexOf(u'.');
    if (point >= 0) {
        fraction = integer.mid(point + 1);
        integer.truncate(point);
    }
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (fraction.size() > 18)
        return std::nullopt;
    bool ok = false;
    const qint64 digits = (integer + fraction).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return Scaled{digits, int(fraction.size())};
}

std::optional<Scaled> rescaled(Scaled value, int scale) {
    while (value.scale < scale) {
        if (__builtin_mul_overflow(value.digits, qint64(10), &value.digits))
            return std::nullopt;
        ++value.scale;
    }
    return value;
}

std::optional<Scaled> multiplied(Scaled a, Scaled b) {
    Scaled product;
    if (__builtin_mul_overflow(a.digits, b.digits, &product.digits))
        return std::nullopt;
    product.scale = a.scale + b.scale;
    return product;
}

std::optional<Scaled> added(Scaled a, Scaled b) {
    const int scale = std::max(a.scale, b.scale);
    const std::optional<Scaled> x = rescaled(a, scale);
    const std::optional<Scaled> y = rescaled(b, scale);
    Scaled sum{0, scale};
    if (!x || !y || __builtin_add_overflow(x->digits, y->digits, &sum.digits))
        return std::nullopt;
    return sum;
}

QString scaled_text(Scaled value) {
    const bool negative = value.digits < 0;
    QString digits = QString::number(value.digits).remove(u'-');
    if (value.scale > 0) {
        digits = digits.rightJustified(value.scale + 1, u'0');
        digits.insert(digits.size() - value.scale, u'.');
        while (digits.endsWith(u'0'))
            digits.chop(1);
        if (digits.endsWith(u'.'))
            digits.chop(1);
    }
    return negative && digits != u"0" ? u'-' + digits : digits;
}

}  // namespace

QVector<GoodsItem> load_goods_list(Database& db) {
    const ResultTable rows = db.query_rows(QStringLiteral("select 商品id,商品名 from 商品"), 2);
    QVector<GoodsItem> goods;
    goods.reserve(rows.row_count());
    for (int r = 1; r <= rows.row_count(); ++r)
        goods.push_back({rows(0, r), rows(1, r)});
    return goods;
}

std::optional<ChosenGoods> load_goods(Database& db, const QString& goods_id) {
    // By key rather than by name, so that two goods of the same name stay apart.
    if (!is_key(goods_id))
        return std::nullopt;
    const ResultTable rows =
        db.query_rows(QStringLiteral("select * from 商品 where 商品ID=") + goods_id.trimmed(), 5);
    if (rows.row_count() < 1)
        return std::nullopt;
    return ChosenGoods{rows(0, 1), rows(3, 1), rows(4, 1)};
}

std::optional<QString> line_subtotal(const QString& price, const QString& quantity) {
    const std::optional<Scaled> unit = price.trimmed() == u"-" ? Scaled{} : to_scaled(price);
    const std::optional<Scaled> count = to_scaled(quantity);
    if (!unit || !count)
        return std::nullopt;
    const std::optional<Scaled> product = multiplied(*unit, *count);
    if (!product)
        return std::nullopt;
    return scaled_text(*product);
}

std::optional<OrderLine> make_order_line(const ChosenGoods& goods, const QString& quantity) {
    const std::optional<QString> subtotal = line_subtotal(goods.price, quantity);
    if (!subtotal)
        return std::nullopt;
    return OrderLine{goods.id, goods.name, quantity.trimmed(), *subtotal};
}

QString order_amount_text(const QVector<OrderLine>& lines) {
    Scaled sum;
    for (const OrderLine& line : lines) {
        const std::optional<Scaled> subtotal = to_scaled(line.subtotal);
        const std::optional<Scaled> next = subtotal ? added(sum, *subtotal) : std::optional<Scaled>(sum);
        if (!next)
            return QString();  // beyond any amount the columns hold
        sum = *next;
    }
    return with_thousands(scaled_text(sum));
}

bool lock_customer(Database& db, const QString& customer_id) {
    if (!is_key(customer_id))
        return false;
    const QString where = QStringLiteral(" where 顧客ID=") + customer_id.trimmed();
    const QString count = QStringLiteral("select count(*) from 顧客") + where;
    // The row is held until the save commits, so a delete on another PC waits for it. The embedded
    // file's transaction holds the whole file already; on MySQL a shared lock lets saves for the same
    // customer run side by side; elsewhere a write that changes nothing takes the row's lock.
    switch (db.dialect()) {
        case Dialect::Sqlite:
            break;
        case Dialect::MySql:
            return db.query_rows(count + QStringLiteral(" lock in share mode"), 1)(0, 1).toLongLong() > 0;
        case Dialect::SqlServer:
            db.execute_sql(QStringLiteral("update 顧客 set 備考=備考") + where);
            break;
    }
    return db.query_rows(count, 1)(0, 1).toLongLong() > 0;
}

QStringList save_order(Database& db, OrderForm& form, const QDate& today) {
    if (!is_key(form.customer_id))
        return {kChooseCustomerMessage};
    QString date = form.date;
    if (!check_date(date, QString(), true, true, today))
        return {kDateMessage};
    form.date = date;

    // Every number is checked before the first statement, so a refusal stores nothing.
    // Amounts are whole yen (whole-number columns); the tax rate may hold a fraction.
    const std::optional<QString> amount = whole_number(form.amount, QStringLiteral("0"));
    const std::optional<QString> tax_rate = plain_number(form.tax_rate);
    const std::optional<QString> discount = whole_number(form.discount, QStringLiteral("0"));
    if (!amount || !tax_rate || !discount)
        return {kNumberMessage};
    QStringList line_values;
    for (const OrderLine& line : form.lines) {
        const std::optional<QString> quantity = plain_number(line.quantity);
        const std::optional<QString> subtotal = whole_number(line.subtotal);
        if (!is_key(line.goods_id) || !quantity || !subtotal)
            return {kNumberMessage};
        line_values << line.goods_id.trimmed() + u',' + sql_text(form.customer_name) + u',' + *quantity +
                           u',' + *subtotal + u',' + sql_text(date);
    }

    // The new key comes from this connection's insert: another PC's order saved meanwhile never lends
    // its key to these lines.
    Transaction transaction(db);
    if (!lock_customer(db, form.customer_id))
        return {kCustomerGoneMessage};
    const QString order_id = db.insert_row(
        QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) values(") +
            form.customer_id.trimmed() + u',' + sql_text(form.employee) + u',' + sql_text(date) + u',' +
            sql_text(form.title) + u',' + *amount + u',' + *tax_rate + u',' + *discount + u')',
        QStringLiteral("受注ID"));
    for (const QString& values : line_values)
        db.execute_sql(QStringLiteral("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) values(") +
                       order_id + u',' + values + u')');
    transaction.commit();
    return {};
}
