#include "vorndoc.h"

#include "childframe.h"
#include "messagebox.h"
#include "resources.h"
#include "vornapp.h"
#include "vornview.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>

#include <algorithm>

namespace vorn {

CVornDoc::CVornDoc(QObject* parent)
    : CDocument(parent)
{
    connect(TextDocument(), &QTextDocument::modificationChanged, this, &CVornDoc::modifiedChanged);
    InitCommandMap();
}

CVornDoc::~CVornDoc() = default;

void CVornDoc::InitCommandMap()
{
    OnCommand(ID_FILE_CLOSE, [this] {
        if (SaveModified()) {
            OnCloseDocument();
        }
    });
    OnCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    OnCommand(ID_FILE_SAVE_AS, [this] { DoSave(QString()); });
}

QString CVornDoc::Text() const
{
    QString text = TextDocument()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void CVornDoc::SetLoadedState(const QByteArray& bytes, const QString& text)
{
    m_savedBytes = bytes;
    m_savedText = text;
}

bool CVornDoc::OnNewDocument()
{
    TextDocument()->setPlainText(QString());
    TextDocument()->clearUndoRedoStacks();
    m_encoding = TextEncoding::Utf8;
    m_bCrLf = false;
    SetLoadedState(QByteArray(), Text());
    SetModifiedFlag(false);
    return true;
}

bool CVornDoc::OnOpenDocument(const QString& strPath, QString* pError)
{
    QFile file(strPath);
    if (QFileInfo(strPath).isDir()) {
        if (pError) {
            *pError = LoadStringResource(IDS_IS_A_FOLDER);
        }
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (pError) {
            *pError = file.errorString();
        }
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (pError) {
            *pError = file.errorString();
        }
        return false;
    }
    DecodedText decoded = DecodeDocumentBytes(bytes);
    m_encoding = decoded.encoding;
    m_bCrLf = decoded.crlf;
    TextDocument()->setPlainText(decoded.text);
    TextDocument()->clearUndoRedoStacks();
    // The text as the editor holds it: an unedited document saves as exactly these bytes.
    SetLoadedState(bytes, Text());
    SetModifiedFlag(false);
    return true;
}

bool CVornDoc::OnSaveDocument(const QString& strPath)
{
    const QString text = Text();
    TextEncoding encoding = m_encoding;
    QByteArray bytes;
    if (text == m_savedText) {
        bytes = m_savedBytes;
    } else if (auto encoded = EncodeDocumentText(text, encoding, m_bCrLf)) {
        bytes = std::move(*encoded);
    } else {
        const int answer = AfxMessageBox(
            LoadStringResource(IDS_ENCODING_LOSS).arg(m_strTitle, EncodingDisplayName(encoding)),
            MB_YESCANCEL | MB_ICONQUESTION);
        if (answer != IDYES) {
            return false;
        }
        encoding = TextEncoding::Utf8;
        bytes = EncodeDocumentText(text, encoding, m_bCrLf).value_or(QByteArray());
    }

    QSaveFile file(strPath);
    bool ok = file.open(QIODevice::WriteOnly);
    ok = ok && file.write(bytes) == bytes.size();
    ok = ok && file.commit();
    if (!ok) {
        const QString reason = file.errorString();
        file.cancelWriting();
        AfxMessageBox(
            LoadStringResource(IDS_FAILED_TO_SAVE).arg(QDir::toNativeSeparators(strPath), reason),
            MB_OK | MB_ICONSTOP);
        return false;
    }
    m_encoding = encoding;
    SetLoadedState(bytes, text);
    SetModifiedFlag(false);
    return true;
}

bool CVornDoc::DoSave(const QString& strPath, bool bReplace)
{
    QString path = strPath;
    if (path.isEmpty()) {
        CVornApp* app = CVornApp::Instance();
        path = app
            ? app->PromptForFileName(false, m_strPathName.isEmpty() ? m_strTitle : m_strPathName)
            : QString();
        if (path.isEmpty()) {
            return false;
        }
    }
    if (!OnSaveDocument(path)) {
        return false;
    }
    if (bReplace) {
        SetPathName(path);
    }
    return true;
}

bool CVornDoc::DoFileSave()
{
    return DoSave(m_strPathName);
}

bool CVornDoc::SaveModified()
{
    if (!IsModified()) {
        return true;
    }
    switch (AfxMessageBox(
        LoadStringResource(IDS_ASK_TO_SAVE).arg(m_strTitle), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        return DoFileSave();
    case IDNO:
        return true;
    default:
        return false;
    }
}

void CVornDoc::OnCloseDocument()
{
    if (m_bClosing) {
        return;
    }
    m_bClosing = true;
    const std::vector<CVornView*> views = m_views;
    for (CVornView* view : views) {
        if (CChildFrame* frame = CChildFrame::FrameOf(view)) {
            frame->CloseWithoutPrompt();
        } else {
            RemoveView(view);
        }
    }
}

void CVornDoc::SetTitle(const QString& strTitle)
{
    m_strTitle = strTitle;
    UpdateFrameCounts();
    emit titleChanged();
}

void CVornDoc::SetPathName(const QString& strPath)
{
    m_strPathName = QFileInfo(strPath).absoluteFilePath();
    SetTitle(QFileInfo(strPath).fileName());
    if (CVornApp* app = CVornApp::Instance()) {
        app->AddToRecentFileList(m_strPathName);
    }
}

bool CVornDoc::IsModified() const
{
    return TextDocument()->isModified();
}

void CVornDoc::SetModifiedFlag(bool bModified)
{
    TextDocument()->setModified(bModified);
}

CVornDoc* CVornDoc::FromView(const CVornView* pView)
{
    return pView ? static_cast<CVornDoc*>(pView->GetDocument()) : nullptr;
}

void CVornDoc::AddView(CVornView* pView)
{
    m_views.push_back(pView);
    pView->SetDocument(this);
    UpdateFrameCounts();
}

void CVornDoc::RemoveView(QWidget* pWidget)
{
    const auto it = std::find(m_views.begin(), m_views.end(), pWidget);
    if (it == m_views.end()) {
        return;
    }
    CVornView* pView = *it;
    m_views.erase(it);
    if (pView->GetDocument() == this) {
        pView->SetDocument(nullptr);
    }
    if (m_views.empty()) {
        m_bClosing = true;
        emit closed(this);
        deleteLater();
        return;
    }
    UpdateFrameCounts();
}

void CVornDoc::UpdateFrameCounts()
{
    const bool several = m_views.size() > 1;
    int number = 1;
    for (CVornView* view : m_views) {
        if (CChildFrame* frame = CChildFrame::FrameOf(view)) {
            frame->setWindowTitle(
                several ? QStringLiteral("%1:%2").arg(m_strTitle).arg(number) : m_strTitle);
        }
        ++number;
    }
    emit titleChanged();
}

} // namespace vorn

#include "moc_vorndoc.cpp"
