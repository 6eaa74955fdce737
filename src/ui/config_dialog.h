#pragma once

#include "model/alarm_list.h"

#include <QStringList>
#include <QWidget>

#include <vector>

class AppCore;
class ConfigSection;
class MessageSink;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class LogSection;
class QPushButton;
class QScrollBar;

// FormConfig ("Configuration"): edits the text settings, the server-log switch and the alarm list one
// entry at a time. It changes the model in memory only; the config saver writes config.txt soon after.
// Nothing typed is lost: leaving an entry, Quit and the close box all store the fields.
class ConfigDialog final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kAlTimeTooLong = QStringLiteral("Al-Time max 65sec!");
    static inline const QString kListFull = QStringLiteral("%1 entries at most").arg(AlarmList::kCapacity);
    static constexpr int kMaxAlarmSeconds = 65;

    ConfigDialog(AppCore &core, MessageSink &messages, QWidget *parent = nullptr);

    // Shows the dialog, or brings it to the front, with every field refilled from the stored values
    // at entry ConfigCallNr (0 when it is -1). An open dialog stores what it shows first.
    void open();

    // EditCallNr: the alarm-list entry the lower half shows.
    int editCallNr() const { return m_editCallNr; }

    // The server presets in list order, "host Port port"; the first is the default server.
    static QStringList serverPresets();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // A further group of settings: it fills and stores itself with the dialog's own fields.
    void addSection(ConfigSection *section);
    template <typename W> W *control(const char16_t *name) const;

    void refill();
    void entryChanged(int value);
    void addEntry();
    void deleteEntry();
    void store();
    void quit();
    void presetChosen(QListWidgetItem *item);
    void checkAlarmTime(const QString &text);
    void showFileList();
    void fileChosen(QListWidgetItem *item);
    void testSound();

    void loadEntryFields();
    void storeEntryFields(int index);
    void setScrollRange();
    void updateDeleteButton();

    AppCore &m_core;
    MessageSink &m_messages;
    int m_editCallNr = 0;
    std::vector<ConfigSection *> m_sections;

    QLineEdit *m_ownCall = nullptr;
    QLineEdit *m_alTime = nullptr;
    QLineEdit *m_rmtHost = nullptr;
    QLineEdit *m_rmtPort = nullptr;
    QListWidget *m_servers = nullptr;
    QLabel *m_alarmNr = nullptr;
    QScrollBar *m_scroll = nullptr;
    QPushButton *m_delete = nullptr;
    QLineEdit *m_call = nullptr;
    QLineEdit *m_callText = nullptr;
    QLineEdit *m_soundFile = nullptr;
    QLineEdit *m_blockTime = nullptr;
    QListWidget *m_files = nullptr;
    QPushButton *m_testSound = nullptr;
};
