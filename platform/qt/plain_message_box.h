#pragma once
#include <QMessageBox>

// Every message box of the program. Its text is shown as written: a box text
// holds Vigil data (a description from someone's bookmark file), which a box
// guessing the format would render as markup, loading the images it names.
class PlainMessageBox : public QMessageBox {
public:
    PlainMessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons,
                    QWidget* parent)
        : QMessageBox(icon, title, text, buttons, parent) {
        setTextFormat(Qt::PlainText);
    }
};
