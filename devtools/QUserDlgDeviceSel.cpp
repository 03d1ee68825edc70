#include "devtools/QUserDlgDeviceSel.h"

#include "core/QUserAdapterModels.h"
#include "core/QUserSysCfg.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

class Ui_QUserDlgDeviceSel
{
public:
    QVBoxLayout *verticalLayout_2;

    void setupUi(QWidget *w)
    {
        w->setObjectName("QUserDlgDeviceSel");
        w->resize(400, 300);
        w->setWindowTitle("Form");
        verticalLayout_2 = new QVBoxLayout(w);
        verticalLayout_2->setObjectName("verticalLayout_2");
    }
};

namespace {
struct ClassInfo { const char *typeText; const char *icon; const char *key; };
const ClassInfo kClasses[] = {
    {"CAN/FD适配器", ":/res/devCan.png", "devCanFDSelIndex"},
    {"CAN/FD记录仪", ":/res/devRecord.png", "devRecordSelIndex"},
    {"LIN适配器", ":/res/devLin.png", "devLinSelIndex"},
};
} // namespace

QStringList QUserDlgDeviceSel::modelList(int devClass)
{
    // The models the table offers in this class, in its order; a model with
    // editions is listed by them (translated), any other by its name.
    QStringList list;
    for (const QUserAdapterModel &m : QUserAdapterModels::kModels) {
        if (m.selectClass != devClass)
            continue;
        if (!m.editions[0]) {
            list << QString::fromLatin1(m.name);
            continue;
        }
        for (const char *e : m.editions) {
            if (e)
                list << tr(e);
        }
    }
    return list;
}

QUserDlgDeviceSel::QUserDlgDeviceSel(QWidget *parent) : QWidget(parent), ui(new Ui_QUserDlgDeviceSel)
{
    ui->setupUi(this);
    configureLoad();
    devTypeSet(0);
    m_frame.make(":/res/devCan.png", tr("选择设备"));
}

QUserDlgDeviceSel::~QUserDlgDeviceSel()
{
    configureSave();
    m_frame.release();
    // Combo boxes and buttons not yet laid out have no parent.
    for (QWidget *w : {static_cast<QWidget *>(m_typeCombo.data()), static_cast<QWidget *>(m_modelCombo.data()),
                       static_cast<QWidget *>(m_ok.data()), static_cast<QWidget *>(m_cancel.data())})
        if (w && !w->parent())
            delete w;
    delete ui;
}

void QUserDlgDeviceSel::configureLoad()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    m_canPos = qMax(0, cfg->getInt("devCanFDSelIndex"));
    m_linPos = qMax(0, cfg->getInt("devLinSelIndex"));
    m_recordPos = qMax(0, cfg->getInt("devRecordSelIndex"));
}

void QUserDlgDeviceSel::configureSave()
{
    const int pos = m_modelCombo ? m_modelCombo->currentIndex() : -1;
    switch (m_class) {
    case 0: m_canPos = pos; break;
    case 1: m_recordPos = pos; break;
    case 2: m_linPos = pos; break;
    default: break;
    }
    QUserSysCfg *cfg = QUserSysCfg::instance();
    cfg->setInt("devCanFDSelIndex", m_canPos);
    cfg->setInt("devLinSelIndex", m_linPos);
    cfg->setInt("devRecordSelIndex", m_recordPos);
}

int QUserDlgDeviceSel::devTypeSet(uint8_t devClass)
{
    m_class = devClass;
    if (devClass > 2)
        return -1;
    const ClassInfo &info = kClasses[devClass];
    if (m_frame)
        m_frame->iconSet(info.icon);
    if (!m_typeCombo) {
        m_typeCombo = new QComboBox;
        m_typeCombo->setObjectName("comboBox_type");
        m_typeCombo->setInsertPolicy(QComboBox::InsertAtCurrent);
        m_typeCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        m_typeCombo->setEnabled(false);
    }
    if (!m_modelCombo) {
        m_modelCombo = new QComboBox;
        m_modelCombo->setObjectName("comboBox_model");
        m_modelCombo->setInsertPolicy(QComboBox::InsertAtCurrent);
        m_modelCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    m_typeCombo->clear();
    m_modelCombo->clear();
    m_typeCombo->addItem(QIcon(info.icon), tr(info.typeText));
    m_modelCombo->addItems(modelList(devClass));
    combosFit();
    const int pos = devClass == 0 ? m_canPos : devClass == 1 ? m_recordPos : m_linPos;
    m_modelCombo->setCurrentIndex(pos < m_modelCombo->count() ? pos : -1);
    return 0;
}

void QUserDlgDeviceSel::combosFit()
{
    // At least 150 pixels, and as wide as the longest entry with its icon
    // (a translated class name is longer than the Chinese one): the dialog
    // grows with them rather than cutting them.
    for (QComboBox *c : {m_typeCombo.data(), m_modelCombo.data()}) {
        if (!c)
            continue;
        c->ensurePolished();
        c->setMinimumWidth(qMax(150, c->sizeHint().width()));
    }
}

int QUserDlgDeviceSel::dialogExec()
{
    if (!m_typeCombo)
        devTypeSet(0);
    if (!m_ok) {
        m_ok = new QPushButton(tr("确定"));
        m_ok->setObjectName("pushButton_ok");
        m_cancel = new QPushButton(tr("取消"));
        m_cancel->setObjectName("pushButton_cancel");
        connect(m_ok, &QPushButton::clicked, this, &QUserDlgDeviceSel::slotOkExit);
        connect(m_cancel, &QPushButton::clicked, this, &QUserDlgDeviceSel::slotCancelExit);
    }
    auto *outer = new QHBoxLayout;
    auto *rows = new QVBoxLayout;
    auto *r1 = new QHBoxLayout;
    r1->addWidget(new QLabel(tr("设备类型:")));
    r1->addWidget(m_typeCombo);
    r1->addStretch();
    auto *r2 = new QHBoxLayout;
    r2->addWidget(new QLabel(tr("设备型号:")));
    r2->addWidget(m_modelCombo);
    r2->addStretch();
    auto *r3 = new QHBoxLayout;
    r3->addWidget(m_ok);
    r3->addWidget(m_cancel);
    rows->addLayout(r1);
    rows->addLayout(r2);
    rows->addLayout(r3);
    outer->addLayout(rows);

    QScreen *screen = QApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1600, 1200);
    const int w = avail.width() / 8, h = avail.height() / 8;
    resize(w, h);
    m_frame->setContentLayout(outer, w, h);
    // Laid into the frame, the lists take its font.
    combosFit();
    return m_frame->dlgExec();
}

void QUserDlgDeviceSel::slotOkExit()
{
    m_frame.done(1);
    m_model = m_modelCombo ? m_modelCombo->currentText() : QString();
}

void QUserDlgDeviceSel::slotCancelExit()
{
    m_frame.done(0);
    m_model.clear();
}
