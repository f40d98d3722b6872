#pragma once

#include <QAbstractListModel>
#include <QVector>
#include <functional>

// The search list's rows: every match's key is known at once (the count), the names are read in
// pages as rows come into view, so a search of thousands of matches fills nothing it does not show.
class CustomerListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // Reads the names of the given keys, in their order.
    using NameLoader = std::function<QVector<QString>(const QVector<QString>& ids)>;
    static constexpr int kPageSize = 100;

    explicit CustomerListModel(NameLoader loader, QObject* parent = nullptr)
        : QAbstractListModel(parent), m_loader(std::move(loader)) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void set_ids(QVector<QString> ids);
    void clear() { set_ids({}); }
    QString id_at(int row) const { return m_ids.value(row); }
    QString name_at(int row) const;
    int row_of(const QString& id) const { return id.isEmpty() ? -1 : int(m_ids.indexOf(id)); }
    int pages_loaded() const { return m_loaded_pages; }

private:
    void load_page(int page) const;

    NameLoader m_loader;
    QVector<QString> m_ids;
    mutable QVector<QString> m_names;  // filled page by page
    mutable QVector<bool> m_page_loaded;
    mutable int m_loaded_pages = 0;
};
