#pragma once

#include "cmdtarget.h"

#include <QObject>

class QTextDocument;
class QWidget;

namespace vorn {

// The framework's document: the plain text that all its views edit, on the command route after
// its active view. The program's document derives from it and adds files and windows; a view
// knows its document only through this class. Runs on the UI thread.
class CDocument : public QObject, public CCmdTarget
{
    Q_OBJECT

public:
    explicit CDocument(QObject* parent = nullptr);
    ~CDocument() override;

    [[nodiscard]] QTextDocument* TextDocument() const { return m_pText; }

    // A view that goes away takes itself off its document's list.
    virtual void RemoveView(QWidget* pView) = 0;

private:
    QTextDocument* m_pText;
};

} // namespace vorn
