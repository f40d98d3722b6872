#include "ui/customers/customer_list_model.h"

#include <QRegularExpression>

int CustomerListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

void CustomerListModel::load_page(int page) const {
    if (page < 0 || page >= m_page_loaded.size() || m_page_loaded.at(page))
        return;
    m_page_loaded[page] = true;  // before loading: a failed read is not retried on every paint
    const int first = page * kPageSize;
    const QVector<QString> ids = m_ids.mid(first, kPageSize);
    const QVector<QString> names = m_loader ? m_loader(ids) : QVector<QString>();
    for (int i = 0; i < ids.size() && i < names.size(); ++i)
        m_names[first + i] = names.at(i);
    ++m_loaded_pages;
}

QString CustomerListModel::name_at(int row) const {
    if (row < 0 || row >= m_ids.size())
        return QString();
    load_page(row / kPageSize);
    return m_names.at(row);
}

QVariant CustomerListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_ids.size())
        return {};
    if (role == Qt::DisplayRole) {
        // A name holding line breaks still takes one line of the list.
        QString name = name_at(index.row());
        static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]+"));
        return name.replace(breaks, QStringLiteral(" "));
    }
    if (role == Qt::UserRole)
        return m_ids.at(index.row());
    return {};
}

void CustomerListModel::set_ids(QVector<QString> ids) {
    beginResetModel();
    m_ids = std::move(ids);
    m_names = QVector<QString>(m_ids.size());
    m_page_loaded = QVector<bool>((m_ids.size() + kPageSize - 1) / kPageSize, false);
    m_loaded_pages = 0;
    endResetModel();
}
