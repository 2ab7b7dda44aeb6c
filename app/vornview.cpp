#include "vornview.h"

#include "findreplacedlg.h"
#include "resources.h"
#include "vornapp.h"
#include "vorndoc.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>

namespace vorn {

CVornView::CVornView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // The text wraps at the window's edge and there is no horizontal scroll bar.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    InitCommandMap();
}

CVornView::~CVornView()
{
    // The audio device must not outlive the blocks it reads.
    OnStop();
    if (CVornDoc* doc = m_pDocument) {
        m_pDocument = nullptr;
        doc->RemoveView(this);
    }
}

void CVornView::SetDocument(CVornDoc* pDocument)
{
    m_pDocument = pDocument;
    if (pDocument) {
        setDocument(pDocument->TextDocument());
    } else {
        // The document is going: keep an empty text of the view's own until the view goes too.
        auto* own = new QTextDocument(this);
        own->setDocumentLayout(new QPlainTextDocumentLayout(own));
        setDocument(own);
    }
}

void CVornView::InitCommandMap()
{
    OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrintDirect(); });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });

    // The simulation commands are always enabled.
    OnCommand(ID_RUN, [this] { OnRun(); });
    OnCommand(ID_STOP, [this] { OnStop(); });
    OnCommand(ID_DRAW, [this] { DrawTrace(); });
    OnCommand(ID_SETTINGS, [this] { OnSettings(); });
    OnCommand(ID_FREQ_RESPONSE, [this] { OnFreqResponse(); });

    const auto needSelection = [this](CCmdUI& ui) { ui.Enable(textCursor().hasSelection()); };
    const auto needText = [this](CCmdUI& ui) { ui.Enable(!document()->isEmpty()); };
    OnCommand(
        ID_EDIT_UNDO, [this] { undo(); },
        [this](CCmdUI& ui) { ui.Enable(document()->isUndoAvailable()); });
    OnCommand(
        ID_EDIT_CUT, [this] { cut(); },
        [this](CCmdUI& ui) { ui.Enable(textCursor().hasSelection() && !isReadOnly()); });
    OnCommand(
        ID_EDIT_COPY, [this] { copy(); }, needSelection);
    OnCommand(
        ID_EDIT_PASTE, [this] { paste(); },
        [this](CCmdUI& ui) {
            const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
            ui.Enable(
                !isReadOnly() && mime != nullptr && mime->hasText() && !mime->text().isEmpty());
        });
    OnCommand(
        ID_EDIT_SELECT_ALL, [this] { selectAll(); }, needText);
    OnCommand(
        ID_EDIT_FIND, [this] { OnEditFind(); }, needText);
    OnCommand(
        ID_EDIT_REPLACE, [this] { OnEditReplace(); }, needText);
    OnCommand(
        ID_EDIT_REPEAT, [this] { OnEditRepeat(); },
        [this](CCmdUI& ui) { ui.Enable(!document()->isEmpty() && !LastFind().strFind.isEmpty()); });

    // There are no split panes to move between.
    OnCommand(ID_NEXT_PANE, [] {});
    OnCommand(ID_PREV_PANE, [] {});
}

void CVornView::PrintText(QPrinter* pPrinter)
{
    print(pPrinter);
}

void CVornView::OnFilePrint()
{
    CVornApp* app = CVornApp::Instance();
    QPrinter* printer = app ? app->Printer() : nullptr;
    if (printer == nullptr) {
        return;
    }
    QPrintDialog dialog(printer, window());
    if (textCursor().hasSelection()) {
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    }
    if (dialog.exec() == QDialog::Accepted) {
        PrintText(printer);
    }
}

void CVornView::OnFilePrintDirect()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        QMessageBox::warning(
            window(), LoadStringResource(AFX_IDS_APP_TITLE), LoadStringResource(IDS_NO_PRINTER));
        return;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    PrintText(&printer);
}

void CVornView::OnFilePrintPreview()
{
    CVornApp* app = CVornApp::Instance();
    QPrinter* printer = app ? app->Printer() : nullptr;
    if (printer == nullptr) {
        return;
    }
    QPrintPreviewDialog preview(printer, window());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
        [this](QPrinter* target) { PrintText(target); });
    preview.exec();
}

void CVornView::OnEditFind()
{
    CFindReplaceDlg::Show(this, false);
}

void CVornView::OnEditReplace()
{
    CFindReplaceDlg::Show(this, true);
}

void CVornView::OnEditRepeat()
{
    const FindState& state = LastFind();
    if (state.strFind.isEmpty()) {
        OnEditFind();
        return;
    }
    if (!FindText(state.strFind, state.bMatchCase, state.bForward)) {
        QMessageBox::information(window(), LoadStringResource(AFX_IDS_APP_TITLE),
            LoadStringResource(IDS_TEXT_NOT_FOUND).arg(state.strFind));
    }
}

bool CVornView::FindText(const QString& strFind, bool bMatchCase, bool bForward)
{
    if (strFind.isEmpty()) {
        return false;
    }
    QTextDocument::FindFlags flags;
    if (bMatchCase) {
        flags |= QTextDocument::FindCaseSensitively;
    }
    if (!bForward) {
        flags |= QTextDocument::FindBackward;
    }
    const QTextCursor match = document()->find(strFind, textCursor(), flags);
    if (match.isNull()) {
        return false;
    }
    setTextCursor(match);
    return true;
}

} // namespace vorn
