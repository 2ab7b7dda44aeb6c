#include "document.h"

#include <QPlainTextDocumentLayout>
#include <QTextDocument>

namespace vorn {

CDocument::CDocument(QObject* parent)
    : QObject(parent)
    , m_pText(new QTextDocument(this))
{
    m_pText->setDocumentLayout(new QPlainTextDocumentLayout(m_pText));
}

CDocument::~CDocument() = default;

} // namespace vorn

#include "moc_document.cpp"
