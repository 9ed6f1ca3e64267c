#pragma once
// The start-up look for contacts whose birthday falls in the current month, written as the
// birthday alert's mark-up text.

#include <QDate>
#include <QString>

class ContactStore;
class DataSource;

// The alert heading, exactly as the alert shows it.
extern const QString kBirthdayAlertHeading;

// Walks every record in birth-date order with the data source switched off, then switches it on
// and puts the order back to "Nome" (also when the walk fails). Returns the heading followed by
// one entry per contact born in `today`'s month (any day, any year), oldest first; an empty text
// when there is none. Names and dates go into the text as they are, without escaping.
QString birthdayAlertText(ContactStore &store, DataSource &source, const QDate &today);
