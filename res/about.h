// The About box's texts and link targets, shared by the dialog template and
// the code that binds its links.
#pragma once

#define ABOUT_EMAIL "quorvel@example.org"
#define ABOUT_MAILTO "mailto:" ABOUT_EMAIL
#define ABOUT_HOMEPAGE "https://www.example.org/vorlik/"
#define ABOUT_EDITION_1 "Free edition"
#define ABOUT_EDITION_2 "For Windows NT and 9x"
