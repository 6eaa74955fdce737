#pragma once

#include <QStringList>
#include <QWidget>

class AppCore;
class MessageSink;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class LogSection;
class QPushButton;
class QScrollBar;

// FormConfig ("Configuration"): edits the text settings, the server-log switch and the alarm list one
// entry at a time. It changes the model in memory only; the config saver writes config.txt soon after.
class ConfigDialog final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kAlTimeTooLong = QStringLiteral("Al-Time max 65sec!");
    static constexpr int kMaxAlarmSeconds = 65;

    ConfigDialog(AppCore &core, MessageSink &messages, QWidget *parent = nullptr);

    // Shows the dialog, or brings it to the front, with every field refilled from the stored values
    // at entry ConfigCallNr (0 when it is -1).
    void open();

    // EditCallNr: the alarm-list entry the lower half shows.
    int editCallNr() const { return m_editCallNr; }

    // The server presets in list order, "host Port port"; the first is the default server.
    static QStringList serverPresets();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *addField(const QString &name, int left, int top, int width, int height);
    QLabel *addLabel(const QString &name, const QString &text, int left, int top, int width, int height);
    QPushButton *addButton(const QString &name, const QString &text, int left, int top, int width,
                           int height);

    void refill();
    void entryChanged(int value);
    void addEntry();
    void deleteEntry();
    void quit();
    void presetChosen(QListWidgetItem *item);
    void checkAlarmTime(const QString &text);
    void showFileList();
    void fileChosen(QListWidgetItem *item);
    void testSound();
    void buildRadioGroup();
    void refillRadio();
    void rigModelChosen();
    void testRig();

    void loadEntryFields();
    void storeEntryFields(int index);
    void setScrollRange();
    void updateEntryButtons();

    AppCore &m_core;
    MessageSink &m_messages;
    int m_editCallNr = 0;

    QLineEdit *m_ownCall = nullptr;
    QLineEdit *m_alTime = nullptr;
    QLineEdit *m_rmtHost = nullptr;
    QLineEdit *m_rmtPort = nullptr;
    QCheckBox *m_logFile = nullptr;
    QListWidget *m_servers = nullptr;
    QLabel *m_alarmNr = nullptr;
    QScrollBar *m_scroll = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_delete = nullptr;
    QLineEdit *m_call = nullptr;
    QLineEdit *m_callText = nullptr;
    QLineEdit *m_soundFile = nullptr;
    QLineEdit *m_blockTime = nullptr;
    QListWidget *m_files = nullptr;
    QPushButton *m_testSound = nullptr;
    QComboBox *m_rigModel = nullptr;
    QLineEdit *m_rigPath = nullptr;
    QComboBox *m_rigSpeed = nullptr;
    QLabel *m_rigAnswer = nullptr;
    LogSection *m_logSection = nullptr;
};
