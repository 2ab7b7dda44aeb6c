#include "vornapp.h"

#include "aboutdlg.h"
#include "childframe.h"
#include "mainframe.h"
#include "messagebox.h"
#include "resources.h"
#include "vorndoc.h"
#include "vornversion.h"
#include "vornview.h"
#include "waveoutdefault.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMdiArea>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTranslator>

namespace vorn {

namespace {
CVornApp* g_pApp = nullptr;

const QString kRecentFileSection = QStringLiteral("Recent File List");
} // namespace

CVornApp::CVornApp()
{
    g_pApp = this;
    QCoreApplication::setOrganizationName(LoadStringResource(IDS_REGISTRY_KEY));
    QCoreApplication::setApplicationName(LoadStringResource(AFX_IDS_APP_TITLE));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVornVersion));
    // The desktop groups the program's windows under its desktop file.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppID));
    InitCommandMap();
}

CVornApp::~CVornApp()
{
    ExitInstance();
    // Documents still waiting for deletion go with this object, their parent.
    m_documents.clear();
    if (m_pQtTranslator) {
        QCoreApplication::removeTranslator(m_pQtTranslator.get());
    }
    g_pApp = nullptr;
}

CVornApp* CVornApp::Instance()
{
    return g_pApp;
}

void CVornApp::InitCommandMap()
{
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    OnCommandRange(
        ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE1 + kMaxRecentFiles - 1,
        [this](int nID) { OnOpenRecentFile(nID); },
        [this](CCmdUI& ui) { ui.Enable(ui.m_nID - ID_FILE_MRU_FILE1 < m_recentFiles.size()); });
}

bool CVornApp::InitInstance(const QStringList& arguments)
{
    // Standard buttons and dialogs speak Japanese like the rest of the program.
    m_pQtTranslator = std::make_unique<QTranslator>();
    if (m_pQtTranslator->load(
            QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(m_pQtTranslator.get());
    }
    QGuiApplication::setWindowIcon(QIcon(IconResourcePath(IDR_MAINFRAME)));

    LoadStdProfileSettings();

    m_pMainWnd = std::make_unique<CMainFrame>(this);
    if (!m_pMainWnd->LoadFrame(IDR_MAINFRAME)) {
        m_pMainWnd.reset();
        return false;
    }
    AfxSetMainWnd(m_pMainWnd.get());

    const QStringList files = arguments.mid(1);
    if (files.isEmpty()) {
        if (OnFileNew() == nullptr) {
            return false;
        }
    } else if (OpenDocumentFile(files.front()) == nullptr) {
        return false;
    }

    m_pMainWnd->show();
    return true;
}

void CVornApp::ExitInstance()
{
    if (m_pMainWnd) {
        CloseAllDocuments();
        m_pMainWnd.reset();
    }
    m_waveOutOwner.Shutdown();
}

void CVornApp::LoadStdProfileSettings()
{
    QSettings settings;
    m_recentFiles.clear();
    for (int i = 1; i <= kMaxRecentFiles; ++i) {
        const QString path
            = settings.value(QStringLiteral("%1/File%2").arg(kRecentFileSection).arg(i)).toString();
        if (!path.isEmpty()) {
            m_recentFiles.append(path);
        }
    }
}

void CVornApp::SaveRecentFileList() const
{
    QSettings settings;
    settings.remove(kRecentFileSection);
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        settings.setValue(
            QStringLiteral("%1/File%2").arg(kRecentFileSection).arg(i + 1), m_recentFiles[i]);
    }
    settings.sync();
}

void CVornApp::AddToRecentFileList(const QString& strPath)
{
    const QString path = QFileInfo(strPath).absoluteFilePath();
    m_recentFiles.removeAll(path);
    m_recentFiles.prepend(path);
    while (m_recentFiles.size() > kMaxRecentFiles) {
        m_recentFiles.removeLast();
    }
    SaveRecentFileList();
    emit recentFilesChanged();
}

void CVornApp::OnOpenRecentFile(int nID)
{
    const int index = nID - ID_FILE_MRU_FILE1;
    if (index < 0 || index >= m_recentFiles.size()) {
        return;
    }
    const QString path = m_recentFiles[index];
    if (OpenDocumentFile(path) == nullptr) {
        // A file that can no longer be opened leaves the list.
        m_recentFiles.removeAll(path);
        SaveRecentFileList();
        emit recentFilesChanged();
    }
}

CChildFrame* CVornApp::CreateNewFrame(CVornDoc* pDocument)
{
    auto* view = new CVornView;
    view->SetPrinter(Printer());
    // The sound server's mixer shows the program by its name, desktop id and icon, and each
    // window's stream by the window's caption, which tells two windows of one document apart.
    // The output is the signal under study, not media playback: its role is that of the tools
    // sound is made and examined with, which policies do not cork or duck for a call.
    const WaveOutClient client { LoadStringResource(AFX_IDS_APP_TITLE).toStdString(), kAppID,
        kAppIconName, "production" };
    view->SetWaveOutFactory(
        CDefaultWaveOut::Factory(m_waveOutOwner, CDefaultWaveOut::Backends::PulseThenAlsa, client));
    auto* frame = new CChildFrame(view);
    connect(frame, &QWidget::windowTitleChanged, view,
        [view](const QString& title) { view->SetStreamName(title.toStdString()); });
    pDocument->AddView(view);
    m_pMainWnd->AddFrame(frame);
    pDocument->UpdateFrameCounts();
    return frame;
}

void CVornApp::AddDocument(CVornDoc* pDocument)
{
    m_documents.push_back(pDocument);
    connect(pDocument, &CVornDoc::closed, this, [this](CVornDoc* closedDoc) {
        std::erase(m_documents, closedDoc);
        if (m_pMainWnd) {
            m_pMainWnd->ScheduleUpdate();
        }
    });
}

CVornDoc* CVornApp::OnFileNew()
{
    auto* doc = new CVornDoc(this);
    if (!doc->OnNewDocument()) {
        delete doc;
        return nullptr;
    }
    doc->SetTitle(LoadStringResource(AFX_IDS_APP_TITLE) + QString::number(++m_nUntitledCount));
    AddDocument(doc);
    CreateNewFrame(doc);
    return doc;
}

CVornDoc* CVornApp::OpenDocumentFile(const QString& strPath)
{
    const QString path = QFileInfo(strPath).absoluteFilePath();
    for (CVornDoc* doc : m_documents) {
        if (doc->GetPathName() == path && !doc->Views().empty()) {
            if (CChildFrame* frame = CChildFrame::FrameOf(doc->Views().front())) {
                m_pMainWnd->MDIActivate(frame);
            }
            return doc;
        }
    }
    auto* doc = new CVornDoc(this);
    QString error;
    if (!doc->OnOpenDocument(path, &error)) {
        delete doc;
        AfxMessageBox(
            LoadStringResource(IDS_FAILED_TO_OPEN).arg(QDir::toNativeSeparators(path), error),
            MB_OK | MB_ICONSTOP);
        return nullptr;
    }
    AddDocument(doc);
    doc->SetPathName(path);
    CreateNewFrame(doc);
    return doc;
}

QString CVornApp::PromptForFileName(bool bOpen, const QString& strInitial)
{
    const QString filter = LoadStringResource(IDS_DOCUMENT_FILTER);
    if (bOpen) {
        return QFileDialog::getOpenFileName(m_pMainWnd.get(), QString(), strInitial, filter);
    }
    return QFileDialog::getSaveFileName(m_pMainWnd.get(), QString(), strInitial, filter);
}

void CVornApp::OnFileOpen()
{
    const QString path = PromptForFileName(true, QString());
    if (!path.isEmpty()) {
        OpenDocumentFile(path);
    }
}

QPrinter* CVornApp::Printer()
{
    if (!m_pPrinter) {
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return m_pPrinter.get();
}

void CVornApp::OnFilePrintSetup()
{
    // The printer (or a PDF file) and its page, in the print dialog without the choices of one
    // print job; Print, Print direct and Print preview then use them.
    QPrintDialog dialog(Printer(), m_pMainWnd.get());
    dialog.setWindowTitle(LoadStringResource(IDS_PRINT_SETUP_CAPTION));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
            ok->setText(LoadStringResource(IDS_PRINT_SETUP_OK));
        }
    }
    dialog.exec();
}

void CVornApp::OnAppAbout()
{
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}

void CVornApp::OnAppExit()
{
    if (m_pMainWnd) {
        m_pMainWnd->close();
    }
}

bool CVornApp::SaveAllModified()
{
    const std::vector<CVornDoc*> documents = m_documents;
    for (CVornDoc* doc : documents) {
        if (!doc->SaveModified()) {
            return false;
        }
    }
    return true;
}

void CVornApp::CloseAllDocuments()
{
    const std::vector<CVornDoc*> documents = m_documents;
    for (CVornDoc* doc : documents) {
        doc->OnCloseDocument();
    }
}

} // namespace vorn

#include "moc_vornapp.cpp"
