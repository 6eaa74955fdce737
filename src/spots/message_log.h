#pragma once

#include <QObject>
#include <QString>

#include <array>

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
    int lineCount() const { return m_lineCount; }
    const QString &line(int index) const { return m_lines[static_cast<std::size_t>(index)]; }
    bool showsInitialText() const { return m_initialText; }
    // The whole text as shown, every line ended by CR LF.
    QString text() const;

signals:
    void lineAppended(const QString &line);
    // The window restarted: it now holds only this line.
    void restarted(const QString &line);
    void cleared();

private:
    // The lines are copied into these texts, whose memory is used again at every restart, so a spot
    // costs no allocation here.
    std::array<QString, kMaxLines> m_lines;
    int m_lineCount = 0;
    bool m_initialText = true;
};
