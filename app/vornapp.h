#pragma once

#include "cmdtarget.h"
#include "waveoutowner.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class QPrinter;
class QTranslator;

namespace vorn {

class CChildFrame;
class CMainFrame;
class CVornDoc;

// The application: start-up, the documents and their windows, the recent-file list kept in the
// per-user settings, and the commands New, Open, Print setup, recent files, About and Exit.
// Exactly one exists, constructed in main() after the QApplication. Runs on the UI thread.
class CVornApp : public QObject, public CCmdTarget
{
    Q_OBJECT

public:
    CVornApp();
    ~CVornApp() override;

    // The one application object, or nullptr.
    static CVornApp* Instance();

    // Loads the translations and settings, creates the main frame, opens the file named on the
    // command line (or a new document) and shows the frame. Returns false when the program must
    // end (a file that cannot be opened, after the message saying why).
    bool InitInstance(const QStringList& arguments);
    // Closes every window, then shuts the sound devices' threads down: at most half a second for
    // one held by a sound server that does not answer, which is then left to end with the
    // process. main() calls it after the event loop; the destructor, if that was not done.
    void ExitInstance();

    [[nodiscard]] CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
    [[nodiscard]] const std::vector<CVornDoc*>& Documents() const { return m_documents; }
    // The owner of the threads of every view's sound device.
    [[nodiscard]] const CWaveOutOwner& WaveOutOwner() const { return m_waveOutOwner; }

    // File New; returns the new document (nullptr on failure).
    CVornDoc* OnFileNew();
    void OnFileOpen();
    // Opens a file as a document, or activates the window of the document already showing it.
    // Says why when the file cannot be opened, and returns nullptr then.
    CVornDoc* OpenDocumentFile(const QString& strPath);
    void OnFilePrintSetup();
    void OnAppAbout();
    void OnAppExit();

    // Another window with another view on the document (Window > New window).
    CChildFrame* CreateNewFrame(CVornDoc* pDocument);
    // Asks for every modified document; false when the user cancelled.
    bool SaveAllModified();
    // Closes every document window without asking.
    void CloseAllDocuments();

    // The recent-file list, most recent first, at most four entries; saved at once.
    void AddToRecentFileList(const QString& strPath);
    [[nodiscard]] QStringList RecentFiles() const { return m_recentFiles; }

    // The printer that Print setup chooses and configures, and that Print, Print direct and Print
    // preview use.
    QPrinter* Printer();

    // The file dialog for Open (bOpen) or Save As; an empty string when cancelled.
    QString PromptForFileName(bool bOpen, const QString& strInitial);

signals:
    void recentFilesChanged();

private:
    void InitCommandMap();
    void LoadStdProfileSettings();
    void SaveRecentFileList() const;
    void OnOpenRecentFile(int nID);
    void AddDocument(CVornDoc* pDocument);

    // Outlives every view: they play through devices whose threads it owns.
    CWaveOutOwner m_waveOutOwner;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    std::vector<CVornDoc*> m_documents;
    int m_nUntitledCount = 0;
    QStringList m_recentFiles;
    std::unique_ptr<QPrinter> m_pPrinter;
    std::unique_ptr<QTranslator> m_pQtTranslator;
};

} // namespace vorn
