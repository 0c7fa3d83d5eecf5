#pragma once
// The prompt-and-read routines of the dialogue: a prompt on the dialogue window, one line read
// back and converted by an edit format, " Incorrect input" and the prompt again until the line
// converts. Also the pure field readers they rest on, and the small line writers of the dialogue.

#include <string_view>

#include "plot/window_system.h"

namespace dialogue {

// Integer field of `width` characters ("(I6)", "(I2)", "(I1)"): only the first `width`
// characters of the line count; blanks in the field are ignored; an empty or all-blank field is
// 0; what remains must be an optionally signed decimal integer. False when the field is
// anything else (value then unchanged), and for a width outside 1 .. 9.
bool read_int_field(std::string_view line, int width, int& value);

// Character field of one character ("(A1)"): the first character, a blank for an empty line.
char read_char_field(std::string_view line);

// ASKINT: writes one blank and the prompt (no line end), reads one line, converts it by the
// format "(I6)", "(I2)" or "(I1)"; repeats after the " Incorrect input" line until it converts.
// The range of the value is the caller's to check.
void ASKINT(plot::WindowSystem& windows, int unit, std::string_view format, std::string_view prompt,
            int& value);

// ASKTEXT: as ASKINT with the format "(A1)"; `length` is the answer's length (1).
void ASKTEXT(plot::WindowSystem& windows, int unit, std::string_view format,
             std::string_view prompt, char& answer, int length);

// One dialogue line: a blank, the text and the line end.
void write_line(plot::WindowSystem& windows, int unit, std::string_view text);

// The line of a rejected answer: a blank and " Incorrect input".
void write_incorrect_input(plot::WindowSystem& windows, int unit);

// A yes/no question through ASKTEXT: only the lower-case letters y and n are answers; any
// other first character is rejected with " Incorrect input" and the question asked again.
bool ask_yes_no(plot::WindowSystem& windows, int unit, std::string_view prompt);

}  // namespace dialogue
