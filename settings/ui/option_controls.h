// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>

// The small controls of the options dialog that Qt has no ready twin for: a
// drive list, a directory list, and a button that shows a stored colour.

// The file system's roots and mounted volumes.  Reports a drive chosen by the
// user; pointing it from the program reports nothing.
class DriveList final : public QComboBox {
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    // Lists the roots and volumes afresh.
    void refresh();

    // The root of the drive on show ("" when none).
    QString drive() const;

    // Shows the drive that holds the path: the listed root that is the
    // longest prefix of it.  False when no listed root holds it.
    bool setDriveOf(const QString &path);

signals:
    void driveChanged(const QString &root);

private:
    void onActivated(int index);

    QString m_shown;
};

// A folder, its ancestors above it and its subfolders below it.  Opening an
// entry (double click or Enter) makes it the folder on show.
class FolderList final : public QTreeWidget {
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    // The folder on show with native separators and no trailing separator
    // unless it is a root.
    QString path() const { return m_path; }

    // Shows a folder and reports it; false, changing nothing, when it does
    // not exist or cannot be read.
    bool setPath(const QString &folder);

    // The entry that opens the folder, nullptr when it is not listed.
    QTreeWidgetItem *itemFor(const QString &folder) const;

signals:
    void pathChanged(const QString &path);

private:
    QString m_path;
};

// A caption-less button whose background shows a stored colour (red + 256 ×
// green + 65536 × blue, or one of the system colours, which it keeps as
// such).
class ColourButton final : public QPushButton {
    Q_OBJECT

public:
    explicit ColourButton(QWidget *parent = nullptr);

    qint32 colour() const { return m_colour; }
    void setColour(qint32 colour);

    // The colour as the screen shows it.
    QColor shownColour() const;

private:
    qint32 m_colour;
};
