#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "说话人声音": the voices the user has named, as later conversions recognise them; each can be renamed
// or removed. Every change is written at once; a store that cannot be read is shown as such and left alone.
class VoiceProfilesDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(VoiceProfilesDialog)

public:
    explicit VoiceProfilesDialog(const QString &dataDir, QWidget *parent = nullptr);

    // Reads the store again into the list.
    void reload();

    QListWidget *const list;
    QLineEdit *const nameEdit; // the selected voice's name, edited for 重命名
    QPushButton *const renameBtn;
    QPushButton *const removeBtn;
    QLabel *const messageLabel; // how the last change went, or why there is nothing to change

private:
    void renameSelected();
    void removeSelected();
    void showSelection();

    const QString dataDir;
    bool readable = true;
};
