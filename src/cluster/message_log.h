#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The message window's content: an initial line, then spot lines appended; after 35 spot lines
// the next one starts the window afresh.
class MessageLog final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 35;
    static inline const QString kInitialText = QStringLiteral("... actual DX Info\r\n");

    explicit MessageLog(QObject *parent = nullptr);

    void append(const QString &line);
    void reset();

    // MsgLineCount: spot lines since the window was last started afresh.
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    bool showsInitialText() const { return m_initialText; }
    const QStringList &lines() const { return m_lines; }
    // The whole text as shown, every line ended by CR LF.
    QString text() const;

signals:
    void lineAppended(const QString &line);
    // The window restarted: it now holds only this line.
    void restarted(const QString &line);
    void cleared();

private:
    QStringList m_lines;
    bool m_initialText = true;
};
