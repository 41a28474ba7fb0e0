#pragma once
// The programs' file dialog filters ("Description|*.A;*.B|...") in Qt's form.
#include <QString>
#include <QStringList>
#include <string>

// One Qt name filter per description and pattern pair: "Description (*.A *.B)".
// Empty patterns are dropped; a description without patterns is left out.
QStringList QtNameFilters(const std::string &filter);
// The suffix a typed name without one gets: from the first plain pattern of
// the default extension ("*.TXT;*.C*;*.Bin" gives "TXT"); empty if none.
QString QtDefaultSuffix(const std::string &defaultExt);
