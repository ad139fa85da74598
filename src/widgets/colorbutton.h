#pragma once
#include <QPushButton>

// The toolkit's push button. The type chooses the font size (and, for type 4, the dark
// rounded look); users set sizes, texts, checkability, icons and extra style sheets after.
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    enum Type { Small = 1, Medium = 2, Large = 3, Dark = 4 };

    ColorButton(const QString& text, QWidget* parent, int type);

    int type() const { return type_; }
    // Turns auto-repeat on (held buttons step a value).
    void SetRepeat();
    // After its size or text changed: the type's font, made smaller where the text would not
    // fit the button's width otherwise (longer translations on buttons of fixed size).
    void FitText();
    // Lets FitText break the text into two lines before it makes the font smaller (a button half
    // as wide as its neighbours keeps their font size).
    void setTwoLines(bool on) { twoLines_ = on; }

    // Font pixel size of a button type in a language (0 simplified Chinese, 1 English, ...).
    static int fontPixelSize(int type, int language);
    // The style sheet of a button type.
    static QString styleSheetFor(int type);

private:
    int type_;
    bool twoLines_ = false;
    QString oneLine_;  // the text as set, before FitText broke it
    QString broken_;   // what FitText made of it
};
