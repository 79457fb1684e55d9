#ifndef GUI_STYLE_H
#define GUI_STYLE_H

// The colours the forms give their fields, as style sheets.
namespace GuiStyle {

// A value the person types (direct entry, an exact molar mass).
inline constexpr char typedText[] = "color: rgb(0, 128, 255);";
inline constexpr char exactMrText[] = "color: rgb(28, 170, 29);";
// A field that is locked.
inline constexpr char lockedText[] = "color: rgb(76, 76, 76);";
// A field whose text is not a valid entry. rgba: Qt 5 style sheets refuse an
// alpha given to rgb().
inline constexpr char invalidBackground[] = "background-color: rgba(170, 28, 29, 100);";
// The results page's message that it has nothing to show.
inline constexpr char resultsErrorBackground[] = "background-color:#DDA6A6;";

} // namespace GuiStyle

#endif
