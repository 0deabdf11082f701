#pragma once

#include <QWidget>

class QTreeWidget;
struct RuleEvent;

// A window's list of its row rules' events: when, which rule, which row and the values the rule
// looked at, newest last. A small window of its own beside the monitor window; it can be copied and
// cleared. It keeps the last so many events.
class RuleEventList : public QWidget {
    Q_OBJECT
public:
    explicit RuleEventList(QWidget* parent = nullptr);

    void append(const RuleEvent& event);
    int count() const;
    // The lines as copied: fields separated by tabs.
    QString text() const;
    void clear();

    static constexpr int KeptAtMost = 1000;

Q_SIGNALS:
    // Closed by the operator.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTreeWidget* lines_;
};
