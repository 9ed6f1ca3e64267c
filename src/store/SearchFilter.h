#pragma once
// The filter texts of the main window's search row and letter index, in the store's filter
// language. The user's text is folded as "upper" folds a field, then quoted, so whatever is
// typed stays inside its literal and the text always parses; a "%" typed acts as a wildcard.

#include <QString>

// The filter for the three search boxes (name, phones, category). Empty when all three boxes
// are empty: the caller then switches the filter off. A box holding only blanks is not empty.
QString searchFilterText(const QString &name, const QString &phones, const QString &category);

// The filter for a letter button's caption: names beginning with that letter. Empty for the
// show-all button's empty caption.
QString letterFilterText(const QString &letter);

// `text` as a literal of the filter language: between apostrophes, each apostrophe doubled.
QString filterLiteral(const QString &text);
