// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/ui/option_controls.h"

#include "common/colours.h"
#include "common/ui/gui_support.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {

QString nativeFolder(const QString &folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).absolutePath()));
}

Qt::CaseSensitivity pathCase()
{
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

bool rootHolds(const QString &root, const QString &path)
{
    if (path.compare(root, pathCase()) == 0)
        return true;
    QString prefix = root;
    if (!prefix.endsWith(QDir::separator()))
        prefix += QDir::separator();
    return path.startsWith(prefix, pathCase());
}

} // namespace

// ---- DriveList --------------------------------------------------------------

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(false);
    refresh();
    connect(this, &QComboBox::activated, this, &DriveList::onActivated);
}

void DriveList::refresh()
{
    struct Entry {
        QString root;
        QString name;
    };
    QList<Entry> entries;
    auto add = [&entries](const QString &root, const QString &name) {
        for (Entry &e : entries) {
            if (e.root.compare(root, pathCase()) == 0) {
                if (e.name.isEmpty())
                    e.name = name;
                return;
            }
        }
        entries.append({root, name});
    };
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives)
        add(nativeFolder(drive.absoluteFilePath()), QString());
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        if (volume.isValid() && volume.isReady())
            add(nativeFolder(volume.rootPath()), volume.name());
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.root.compare(b.root, Qt::CaseInsensitive) < 0; });

    const QSignalBlocker blocker(this);
    clear();
    for (const Entry &e : entries) {
        const QString label = e.name.isEmpty() ? e.root : e.root + QStringLiteral(" [") + e.name + u']';
        addItem(label, e.root);
    }
    const int shown = findData(m_shown);
    setCurrentIndex(shown);
    if (shown < 0)
        m_shown.clear();
}

QString DriveList::drive() const { return m_shown; }

bool DriveList::setDriveOf(const QString &path)
{
    const QString native = nativeFolder(path);
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (root.size() > bestLength && rootHolds(root, native)) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best < 0)
        return false;
    setCurrentIndex(best);
    m_shown = itemData(best).toString();
    return true;
}

void DriveList::onActivated(int index)
{
    const QString root = itemData(index).toString();
    if (root == m_shown)
        return;
    m_shown = root;
    emit driveChanged(root);
}

// ---- FolderList -------------------------------------------------------------

FolderList::FolderList(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(12);
    // Every listed folder is always open: no expand arrows.
    setStyleSheet(QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        if (item)
            setPath(item->data(0, Qt::UserRole).toString());
    });
}

bool FolderList::setPath(const QString &folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.exists() || !info.isDir() || !info.isReadable())
        return false;
    const QString native = nativeFolder(folder);

    QStringList chain; // root first
    QDir dir(QDir::fromNativeSeparators(native));
    for (;;) {
        chain.prepend(nativeFolder(dir.absolutePath()));
        if (dir.isRoot() || !dir.cdUp())
            break;
    }

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    QTreeWidgetItem *parentItem = nullptr;
    for (const QString &p : chain) {
        const QString name = QDir(p).isRoot() ? p : QFileInfo(p).fileName();
        auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, openIcon);
        item->setData(0, Qt::UserRole, p);
        parentItem = item;
    }
    const QFileInfoList subfolders = QDir(native).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                                                QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &sub : subfolders) {
        auto *item = new QTreeWidgetItem(parentItem);
        item->setText(0, sub.fileName());
        item->setIcon(0, closedIcon);
        item->setData(0, Qt::UserRole, nativeFolder(sub.absoluteFilePath()));
    }
    expandAll();
    setCurrentItem(parentItem);
    scrollToItem(parentItem);

    m_path = native;
    emit pathChanged(m_path);
    return true;
}

QTreeWidgetItem *FolderList::itemFor(const QString &folder) const
{
    const QString native = nativeFolder(folder);
    for (QTreeWidgetItemIterator it(const_cast<FolderList *>(this)); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString().compare(native, pathCase()) == 0)
            return *it;
    }
    return nullptr;
}

// ---- ColourButton -----------------------------------------------------------

ColourButton::ColourButton(QWidget *parent)
    : QPushButton(parent)
    , m_colour(CommonFunc::SystemColor::ButtonFace)
{
    setColour(m_colour);
}

void ColourButton::setColour(qint32 colour)
{
    m_colour = colour;
    setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid palette(dark); }"
                                 "QPushButton:focus { border: 2px solid palette(highlight); }"
                                 "QPushButton:pressed { border: 2px inset palette(dark); }")
                      .arg(shownColour().name()));
}

QColor ColourButton::shownColour() const { return Gui::toQColor(m_colour, palette()); }
