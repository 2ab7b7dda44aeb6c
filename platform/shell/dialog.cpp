#include "dialog.h"

#include "ddx.h"
#include "messagebox.h"
#include "resources.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace vorn {

namespace {

constexpr unsigned kStaticTypeMask = 0x1Fu;
constexpr int kIconSize = 32;

unsigned ButtonType(unsigned style)
{
    return style & 0xFu;
}

} // namespace

CDialogEx::CDialogEx(int nIDTemplate, QWidget* pParent)
    : QDialog(pParent != nullptr ? pParent : AfxGetMainWnd(),
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
{
    if (const DialogTemplate* dialogTemplate = FindDialogTemplate(nIDTemplate)) {
        Build(*dialogTemplate);
    }
}

CDialogEx::~CDialogEx() = default;

void CDialogEx::Build(const DialogTemplate& dialogTemplate)
{
    setWindowTitle(dialogTemplate.caption);
    QFont dialogFont = QApplication::font(this);
    if (dialogTemplate.pointSize > 0) {
        dialogFont.setPointSize(dialogTemplate.pointSize);
    }
    dialogFont.setWeight(static_cast<QFont::Weight>(dialogTemplate.fontWeight));
    dialogFont.setItalic(dialogTemplate.fontItalic);
    setFont(dialogFont);

    // Dialog base units as the desktop computes them: the average width of the 52 letters,
    // rounded, and the line height of the dialog font.
    const QFontMetrics metrics(dialogFont);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseUnitX = (letters / 26 + 1) / 2;
    m_nBaseUnitY = metrics.height();
    const auto toX = [this](int units) { return (units * m_nBaseUnitX + 2) / 4; };
    const auto toY = [this](int units) { return (units * m_nBaseUnitY + 4) / 8; };
    setFixedSize(toX(dialogTemplate.cx), toY(dialogTemplate.cy));

    QButtonGroup* radioGroup = nullptr;
    QWidget* previousTabStop = nullptr;
    for (const DialogItemTemplate& item : dialogTemplate.items) {
        QWidget* widget = nullptr;
        QButtonGroup* group = nullptr;
        if ((item.style & WS_GROUP) != 0) {
            radioGroup = nullptr;
        }
        if (item.className == QLatin1String("button")) {
            const unsigned type = ButtonType(item.style);
            if (type == BS_AUTORADIOBUTTON) {
                // Exclusive through its group; auto-exclusive too, which makes it a radio button
                // rather than a check box for assistive technology.
                auto* radio = new QRadioButton(item.text, this);
                if (radioGroup == nullptr) {
                    radioGroup = new QButtonGroup(this);
                }
                radioGroup->addButton(radio);
                group = radioGroup;
                widget = radio;
            } else if (type == BS_GROUPBOX) {
                auto* box = new QGroupBox(item.text, this);
                widget = box;
            } else {
                auto* button = new QPushButton(item.text, this);
                button->setDefault(type == BS_DEFPUSHBUTTON);
                if (item.id == IDOK) {
                    connect(button, &QPushButton::clicked, this, [this] { OnOK(); });
                } else if (item.id == IDCANCEL) {
                    connect(button, &QPushButton::clicked, this, [this] { OnCancel(); });
                }
                widget = button;
            }
        } else if (item.className == QLatin1String("edit")) {
            auto* edit = new QLineEdit(this);
            edit->setText(item.text);
            edit->setFrame((item.style & WS_BORDER) != 0);
            // An edit is named by the static text created just before it.
            if (auto* label
                = m_controls.empty() ? nullptr : qobject_cast<QLabel*>(m_controls.back().widget);
                label != nullptr && label->pixmap().isNull()) {
                label->setBuddy(edit);
            }
            widget = edit;
        } else if ((item.style & kStaticTypeMask) == SS_ICON) {
            // The text names the icon resource; it shows at the desktop's icon size.
            auto* icon = new QLabel(this);
            icon->setPixmap(
                QIcon(IconResourcePath(item.text.toInt())).pixmap(kIconSize, kIconSize));
            widget = icon;
        } else {
            auto* label = new QLabel(item.text, this);
            label->setTextFormat(Qt::PlainText);
            widget = label;
        }
        if (qobject_cast<QLabel*>(widget) != nullptr && (item.style & kStaticTypeMask) == SS_ICON) {
            widget->setGeometry(toX(item.x), toY(item.y), kIconSize, kIconSize);
        } else {
            widget->setGeometry(toX(item.x), toY(item.y), toX(item.cx), toY(item.cy));
        }
        if ((item.style & WS_TABSTOP) != 0) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        } else if (qobject_cast<QAbstractButton*>(widget) != nullptr) {
            widget->setFocusPolicy(Qt::ClickFocus);
        } else if (qobject_cast<QLineEdit*>(widget) == nullptr) {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        m_controls.push_back({ item.id, item.style, widget, group });
    }
    // A group box frames the controls created before it; keep it beneath them. The radio buttons
    // it frames become its children where they stand, so that they are read as one group named
    // by its title.
    for (const Control& control : m_controls) {
        auto* box = qobject_cast<QGroupBox*>(control.widget);
        if (box == nullptr) {
            continue;
        }
        box->lower();
        for (const Control& radio : m_controls) {
            if (radio.radioGroup != nullptr && box->geometry().contains(radio.widget->geometry())) {
                radio.widget->setParent(box);
                radio.widget->move(radio.widget->pos() - box->pos());
            }
        }
    }
    m_bBuilt = true;
}

int CDialogEx::DoModal()
{
    if (!m_bBuilt) {
        return -1;
    }
    setResult(IDCANCEL);
    if (OnInitDialog()) {
        for (const Control& control : m_controls) {
            if ((control.style & WS_TABSTOP) != 0) {
                control.widget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    return exec();
}

bool CDialogEx::OnInitDialog()
{
    UpdateData(false);
    return true;
}

bool CDialogEx::UpdateData(bool bSaveAndValidate)
{
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return !exchange.Failed();
}

void CDialogEx::DoDataExchange(CDataExchange*)
{ }

void CDialogEx::OnOK()
{
    if (UpdateData(true)) {
        EndDialog(IDOK);
    }
}

void CDialogEx::OnCancel()
{
    EndDialog(IDCANCEL);
}

QWidget* CDialogEx::GetDlgItem(int nID) const
{
    for (const Control& control : m_controls) {
        if (control.id == nID) {
            return control.widget;
        }
    }
    return nullptr;
}

std::vector<QAbstractButton*> CDialogEx::RadioGroup(int nFirstID) const
{
    std::vector<QAbstractButton*> buttons;
    bool inGroup = false;
    for (const Control& control : m_controls) {
        if (!inGroup) {
            inGroup = control.id == nFirstID;
        } else if ((control.style & WS_GROUP) != 0) {
            break;
        }
        if (inGroup && control.radioGroup != nullptr) {
            buttons.push_back(static_cast<QAbstractButton*>(control.widget));
        }
    }
    return buttons;
}

} // namespace vorn

#include "moc_dialog.cpp"
