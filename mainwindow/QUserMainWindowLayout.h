#pragma once
// The main window's shell widgets: the data tab widget (welcome tab first),
// the send-panel tab widget under it in a vertical splitter, the widgets of
// the two send panels once they are built, and the splitter state that is
// kept in "mainWindowSpliteRate". A plain record made and owned by the main
// window; the widgets belong to the window's widget tree, not to the record.
// Destroying the record writes the splitter state.

#include <QByteArray>
#include <QtGlobal>

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTextEdit;
class QSplitter;
class QTabWidget;
class QTableWidget;

// Where a context menu opened: row and column stay -1 and the model null
// until the first time.
struct QUserMenuIndex
{
    int row = -1;
    int column = -1;
    quintptr internalId = 0;
    const QAbstractItemModel *model = nullptr;

    bool isValid() const { return row >= 0 && column >= 0 && model; }
};

class QUserMainWindowLayout
{
public:
    // Key of the saved splitter state in the system configuration.
    static const char *kSplitterKey;
    // Stretch of the data tabs and of the send panels without a saved state
    // (a first start): the send panels keep the height their rows and
    // buttons need, the data tabs take all the rest, however large the
    // window. A share such as 15 : 1 left the panels two rows high.
    static constexpr int kDataStretch = 1;
    static constexpr int kSendStretch = 0;

    QUserMainWindowLayout() = default;
    ~QUserMainWindowLayout();
    QUserMainWindowLayout(const QUserMainWindowLayout &) = delete;
    QUserMainWindowLayout &operator=(const QUserMainWindowLayout &) = delete;

    // The saved state when there is one, else the first-start split.
    void splitterRestore();
    // The height the send panels need to show the page in front whole.
    int sendPanelHeight() const;
    // Takes the splitter's state into the record and writes it.
    void splitterSave();

    QTabWidget *tabDataShow = nullptr;  // the data tabs
    QTabWidget *tabSend = nullptr;      // the send panels
    QSplitter *splitter = nullptr;

    // Basic send panel (MainWindowBasicSend.cpp).
    struct BasicSend {
        QComboBox *sendType = nullptr;
        QComboBox *protocol = nullptr;
        QComboBox *frameType = nullptr;
        QComboBox *frameFormat = nullptr;
        QLineEdit *id = nullptr;
        QComboBox *len = nullptr;
        QTextEdit *data = nullptr;
        QCheckBox *idInc = nullptr;
        QLineEdit *perSendCnt = nullptr;
        QLineEdit *sendCnt = nullptr;
        QLineEdit *period = nullptr;
        QPushButton *start = nullptr;
        QPushButton *stop = nullptr;
        int refreshes = 0; // how often the panel was refreshed
    } basic;

    // Advanced send panel: the frame list and its context menu.
    QTableWidget *tabAdvSendTable = nullptr;
    QMenu *tabAdvSendMenu = nullptr;
    // The list cell under the cursor when the context menu last opened.
    QUserMenuIndex tabAdvSendMenuIndex;
    // Advanced send panel: its other widgets (MainWindowAdvSend.cpp).
    struct AdvSend {
        QComboBox *failMode = nullptr;
        QLineEdit *loopCnt = nullptr;
        QLineEdit *period = nullptr;
        QLineEdit *frameInterval = nullptr;
        QPushButton *start = nullptr;
        QPushButton *stop = nullptr;
        QPushButton *load = nullptr;
        QPushButton *save = nullptr;
        int refreshes = 0; // how often the panel was refreshed
    } adv;

    QByteArray splitterState;
};
