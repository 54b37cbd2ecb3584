#pragma once
// A message for the user as the models word it; the windows show it in a message box with the
// matching icon, the command line prints its text.
#include <string>

enum class NoticeIcon { Error, Exclamation, Information };

struct Notice {
    std::string text;
    NoticeIcon icon = NoticeIcon::Information;
};
