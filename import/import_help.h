#pragma once

// The help page of the import window (help panel 300), as HTML.
const char* importHelpPage();
