// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <QIcon>
#include <QPixmap>

// frmAbout: name, version, what the program is for and where to reach its
// author.  Fixed size; OK, Enter, Esc and the close box all close it.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *owner = nullptr);

    // The program's icon: a horse-shoe on a green rounded square.
    static QPixmap programPixmap(int size = 32);
    static QIcon programIcon();

    static QString contactMail();
    static QString homePage();
    // The SPDX name of the licence the program is distributed under.
    static QString licenseName();
};
