#pragma once

#include <QString>

class WebBrowserEngine;

// Loads the web-browser module the first time it is asked for and keeps it for the rest of the
// process. Null when the module or the Qt WebEngine libraries it needs are missing; `error` then
// says why. Looked for, in order: VELMORAN_WEBBROWSER_MODULE (a file), beside the executable (the
// build tree), and in the installed library folder relative to the executable.
WebBrowserEngine *loadWebBrowserEngine(QString *error = nullptr);
