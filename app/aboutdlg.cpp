#include "aboutdlg.h"

#include "resources.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace vorn {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    const DialogTemplate* tmpl = FindDialogTemplate(IDD_ABOUTBOX);
    if (tmpl == nullptr) {
        return;
    }
    setWindowTitle(tmpl->caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // Dialog units: a quarter of the font's average character width, an eighth of its height.
    const QFontMetrics metrics(font());
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double baseX = metrics.horizontalAdvance(sample) / 52.0;
    const double baseY = metrics.height();
    const auto toRect = [&](const DialogItemTemplate& item) {
        return QRect(qRound(item.x * baseX / 4), qRound(item.y * baseY / 8),
            qRound(item.cx * baseX / 4), qRound(item.cy * baseY / 8));
    };

    for (const DialogItemTemplate& item : tmpl->items) {
        const QRect rect = toRect(item);
        if (item.className == QLatin1String("button")) {
            auto* button = new QPushButton(item.text, this);
            button->setGeometry(rect);
            if ((item.style & 0xF) == BS_DEFPUSHBUTTON) {
                button->setDefault(true);
                button->setFocus();
            }
            if (item.id == IDOK) {
                connect(button, &QPushButton::clicked, this, &QDialog::accept);
            }
        } else if ((item.style & 0xF) == SS_ICON) {
            auto* icon = new QLabel(this);
            const int side = 32;
            icon->setPixmap(QIcon(QStringLiteral(":/icons/vorn.svg")).pixmap(side, side));
            icon->setGeometry(QRect(rect.topLeft(), QSize(side, side)));
        } else {
            auto* label = new QLabel(item.text, this);
            label->setTextFormat(Qt::PlainText);
            label->setGeometry(rect);
        }
    }
    setFixedSize(qRound(tmpl->cx * baseX / 4), qRound(tmpl->cy * baseY / 8));
}

} // namespace vorn
