#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class QWidget;

// Every window of the program reopens at the size and place it had last time, on the screen that
// shows the main window; one never placed before opens centred over the main window. Places are kept
// per window (its object name) in the user's configuration folder, not in the program folder.
class WindowPlaces : public QObject {
    Q_OBJECT
public:
    // settings_file: where the places are kept; empty for the user's configuration folder.
    explicit WindowPlaces(QWidget* main_window, const QString& settings_file = QString());
    ~WindowPlaces() override;

    static QString default_settings_file();
    QString settings_file() const { return m_file; }

    // Where a window of this size goes the first time: centred over the main window, inside the
    // screen that shows it.
    QRect first_place(const QSize& size) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool kept(const QWidget* window) const;
    void restore(QWidget* window);
    void store(QWidget* window);

    QPointer<QWidget> m_main;
    QString m_file;
};
