#pragma once
// QRibbon: replaces a main window's menu bar with a ribbon title area (title,
// theme button, minimise / maximise / close, window dragging) and one tab
// per former menu with a large tool button per entry. The tab pages fold to
// a 62 px strip. The ribbon's container carries the application's theme
// style sheet; the theme menu recolours the application by replacing the
// theme colour text in it.

#include <QMenuBar>
#include <QPropertyAnimation>
#include <QRect>
#include <QString>

class QHBoxLayout;
class QGridLayout;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class QVBoxLayout;

struct QRibbonOptions {
    QString title;
    QString iconPath;
    bool showStyleButton = true;
    bool startExpanded = true;
};

class Ui_QRibbon
{
public:
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QWidget *widgetContainer = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayoutTitleBar = nullptr;
    QLabel *labelTitle = nullptr;
    QPushButton *pushButtonStyle = nullptr;
    QPushButton *pushButtonMinimum = nullptr;
    QPushButton *pushButtonFullScreen = nullptr;
    QPushButton *pushButtonClose = nullptr;
    QGridLayout *gridLayout = nullptr;
    QTabWidget *tabWidgetMenuBar = nullptr;
    QWidget *widgetBottomBar = nullptr;

    void setupUi(QWidget *QRibbon);
    void retranslateUi(QWidget *QRibbon);
};

struct QRibbonState {
    bool dragging = false;
    int pressX = 0;
    int pressY = 0;
    int windowX = 0;
    int windowY = 0;
    QRect normalGeometry;
    QMainWindow *hostWindow = nullptr;
    QTimer *focusTimer = nullptr;
    QPropertyAnimation *opacityAnim = nullptr;
    QPropertyAnimation *heightAnim = nullptr;
};

class QRibbon : public QMenuBar
{
    Q_OBJECT

public:
    // The theme colours of the theme menu.
    static const char *kBlue;
    static const char *kGreen;
    static const char *kRed;
    // Height of the folded ribbon.
    static constexpr int kFoldedHeight = 62;

    // Installs a ribbon on the window once; returns the window's ribbon.
    static QRibbon *install(QMainWindow *window, const QRibbonOptions &options);

    explicit QRibbon(QWidget *parent = nullptr);
    ~QRibbon() override;

    void setupFromMenuBar(QMainWindow *window, const QRibbonOptions &options);
    // Recolours the application: replaces the current theme colour text by
    // colour in the collected style sheets (see the .cpp).
    void setStyleColor(const QString &colour);
    void setStyleButtonMenuVisible(bool visible);

    // The process-wide current theme colour text.
    static QString currentStyleColor();

    Ui_QRibbon *form() const { return ui; }
    const QRibbonState &state() const { return *ribbonState; }
    QMenu *styleMenu() const { return themeMenu; }
    bool isExpanded() const { return expanded; }
    bool titleBandContains(int y) const;

public slots:
    void setWindowTitle(const QString &title);
    void toggleMaximized();

protected:
    bool eventFilter(QObject *obj, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void expandTab();
    void hideTab();
    void onHideTabFinished();
    void onTabChanged();
    void onLostFocus();
    void clickTab();

private:
    void themeChosen(const QString &colour);
    void unfold();

    Ui_QRibbon *ui = nullptr;
    QRibbonState *ribbonState = nullptr;
    QMenu *themeMenu = nullptr;
    bool expanded = true;
    QString title;
    QString iconPath;
    bool showStyleButton = true;
    bool startExpanded = true;
};
