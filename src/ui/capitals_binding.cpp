#include "ui/capitals_binding.h"

#include "model/call_text.h"

#include <QLineEdit>

void bindCapitals(QLineEdit &field)
{
    QObject::connect(&field, &QLineEdit::textEdited, &field, [&field](const QString &text) {
        if (!holdsLowerCase(text))
            return;
        const int cursor = field.cursorPosition();
        field.setText(capitalized(text));
        field.setCursorPosition(cursor);
    });
}
