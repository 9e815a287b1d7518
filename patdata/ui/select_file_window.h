// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/text_grid.h"
#include "common/ui/grid_state.h"

#include <QFileSystemWatcher>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

// frmSelectFile: every win/place odds file of the PAT folder with its race,
// for picking a race without the file dialog.  A tool window owned by the
// main window; created once, then only shown and hidden, so the list and its
// selected row survive "閉じる".
class SelectFileWindow : public QWidget {
    Q_OBJECT

public:
    // Receives the full path of the picked win/place odds file, or of the
    // record file with the picked race's key ("" for a PAT file).
    using SelectHandler = std::function<void(const QString &path, const QString &raceKey)>;

    explicit SelectFileWindow(SelectHandler onSelect, QWidget *owner = nullptr);
    // Unloading stores the placement, unless the window is minimised.
    ~SelectFileWindow() override;

    // Shows the window, restoring a minimised one.  The first showing puts
    // it at its stored placement and builds the list; open() builds it at
    // once, a plain show() on the next turn of the event loop.  Later
    // showings bring it back as it was left.
    void open();

    // Rebuilds the list from the PAT folder, or from the record file the
    // window lists; no file row is selected after.
    void UpdateList();

    // Shows the window listing the races of a file of JV-Data records, until
    // open() lists the PAT folder again.
    void openRecordFile(const QString &path);

    // The line under the buttons: what the list's own refreshes left out.
    QString statusText() const;

    // The grid behind grdFileList; grid row 0 is the heading row.  Its
    // current row is the picked file's, the heading row while none is.
    const TextGrid &grid() const { return m_grid; }
    const GridState &state() const { return m_state; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildPendingList();
    // An automatic listing tells the user in the status line, not in a box.
    void listFolder(bool automatic);
    void selectFile();
    void applyLayout();
    void restorePlacement();
    void storePlacement() const;
    void syncViewFromGrid(int row);
    void syncGridFromView();
    void setBusy(bool busy);
    void watchFolder(bool on);
    void folderChanged();
    static QStringList heads();
    static QList<TextGrid::Alignment> alignments();
    static QStringList racesIn(const QString &folder);

    SelectHandler m_onSelect;
    QString m_recordFile; // the record file listed; "" for the PAT folder
    TextGrid m_grid;
    GridState m_state;
    QTableView *m_view = nullptr;
    QPushButton *m_update = nullptr;
    QPushButton *m_select = nullptr;
    QPushButton *m_close = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
    // While the window is open, races the terminal adds to the folder are
    // listed without a press on 最新を反映.
    QFileSystemWatcher m_folderWatch;
    QTimer m_folderQuiet;
    QStringList m_listedRaces;
    bool m_opened = false;
    bool m_listPending = false;
    bool m_busy = false;
    bool m_syncing = false;
};
