#pragma once

#include "document.h"
#include "documentcodec.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace vorn {

class CChildFrame;
class CVornView;

// A plain-text document: the text that all its views edit, the file it came from, and the exact
// bytes last read or written, so that saving an unedited text writes those bytes back. The
// document lives as long as it has views. Runs on the UI thread.
class CVornDoc : public CDocument
{
    Q_OBJECT

public:
    explicit CVornDoc(QObject* parent = nullptr);
    ~CVornDoc() override;

    // A new, empty, unmodified document.
    bool OnNewDocument();
    // Reads the file; on failure returns false and puts the reason into *pError.
    bool OnOpenDocument(const QString& strPath, QString* pError);
    // Writes the text atomically (a temporary file renamed over the target). Asks first when the
    // file's encoding cannot hold the edited text; says why when writing fails.
    bool OnSaveDocument(const QString& strPath);

    // Save (Save As when untitled, or when bReplace); returns false when nothing was saved.
    bool DoSave(const QString& strPath, bool bReplace = true);
    bool DoFileSave();
    // Asks whether to save a modified document: true unless the user cancelled or saving failed.
    bool SaveModified();
    // Closes every window of the document without asking; the document then goes away.
    void OnCloseDocument();

    [[nodiscard]] QString GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& strTitle);
    [[nodiscard]] QString GetPathName() const { return m_strPathName; }
    void SetPathName(const QString& strPath);
    [[nodiscard]] bool IsModified() const;
    void SetModifiedFlag(bool bModified = true);
    [[nodiscard]] TextEncoding Encoding() const { return m_encoding; }
    // The text as the views hold it, lines separated by '\n'.
    [[nodiscard]] QString Text() const;

    // The document of a view of this program (views are created only on these documents).
    static CVornDoc* FromView(const CVornView* pView);

    void AddView(CVornView* pView);
    void RemoveView(QWidget* pView) override;
    [[nodiscard]] const std::vector<CVornView*>& Views() const { return m_views; }
    // Window titles: "Vorn1" for one window, "Vorn1:1", "Vorn1:2", ... for several.
    void UpdateFrameCounts();

signals:
    void titleChanged();
    void modifiedChanged(bool bModified);
    // The last view went: the document is about to be deleted.
    void closed(CVornDoc* pDocument);

private:
    void InitCommandMap();
    void SetLoadedState(const QByteArray& bytes, const QString& text);

    QString m_strTitle;
    QString m_strPathName;
    std::vector<CVornView*> m_views;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_bCrLf = false;
    QByteArray m_savedBytes; // the bytes of the file as last read or written
    QString m_savedText; // the text those bytes gave
    bool m_bClosing = false;
};

} // namespace vorn
