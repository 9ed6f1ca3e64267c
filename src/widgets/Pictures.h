#pragma once
// The program's own pictures, drawn with QPainter when first asked for: the window icon, the
// command-bar icons, the letter-index pictures and the work area's background.

#include <QChar>
#include <QIcon>
#include <QPixmap>

namespace Pictures {

enum class Command { NewContact, EditContact, DeleteContact, Print, About, Close };

// An open address book with a blue cover.
QIcon windowIcon();

// 32 x 32 icons of the command bar.
QPixmap commandIcon(Command command);

// A letter-index picture: a glossy blue tile with the letter in upper case.
QPixmap letterTile(QChar letter, const QSize &size);
// The show-all picture: the same tile with an asterisk.
QPixmap showAllTile(const QSize &size);

// The work area's background, drawn at a base size; its holder stretches it.
QPixmap workAreaBackground();

} // namespace Pictures
