#pragma once

#include <QString>
#include <QTextDocumentFragment>

// The text a tool tip puts on screen: Qt renders anything that looks like markup as rich text.
inline QString shownToolTip(const QString &toolTip)
{
    return Qt::mightBeRichText(toolTip) ? QTextDocumentFragment::fromHtml(toolTip).toPlainText() : toolTip;
}
