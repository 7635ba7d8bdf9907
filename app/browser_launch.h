#pragma once
#include <optional>
#include <string>

class Vigil;

// Opening a Vigil's site for the user. A client program that is one of the known
// browsers (netscape, opera, iexplore) would first be asked over DDE to open the
// URL; DDE does not exist here, so that attempt always finds no browser
// (trace line "dde: <service> <topic> unavailable") and the client program is
// started, as when a browser does not answer.

// View, on the window thread: the DDE attempt, else runClientProgram. Sets the
// Vigil's status back to "No change" (reported).
void viewVigil(Vigil& vigil);

// View In New Window (on a thread of its own), and View's fallback: starts the
// client program of the Vigil's kind with its parameters, placeholders filled,
// without a shell; then status "No change" (reported). When there is no client
// program or it cannot be started, a message box says so and the status stays.
// Nothing is started without a program word (runVigilProgram).
bool runClientProgram(Vigil& vigil);

// The home-page command: the Web client with the URL in place of its "%URL";
// when it cannot be started, the box of runClientProgram says so.
void openUrlInBrowser(const std::string& url);

// The command line of a program for a Vigil: the program, then each word of the
// parameter template (split at blanks) with the kind's placeholders filled in
// (Web: %URL %desc; Gopher adds %host %port %selector; FTP adds %host %user
// %password %port %dir). A filled-in value is quoted so that it arrives as one
// argument whatever it holds; an empty value adds no argument.
std::string expandedCommandLine(const Vigil& vigil, const std::string& program,
                                const std::optional<std::string>& params);

// Starts program with the expanded command line. A program that is empty or
// blank starts nothing (trace line "run program: nothing started, no program
// word"). True when a process started.
bool runVigilProgram(const Vigil& vigil, const std::string& program, const std::optional<std::string>& params);

// The DDE service and topic of a client program, by the first known browser its
// text names (case ignored); false for any other program.
bool ddeServiceFor(const std::string& program, std::string* service, std::string* topic);

// The command line openUrlInBrowser starts: the program, a blank, the parameters
// with the first "%URL" and the first "%url" blanked, and the URL after them.
std::string browserCommandLine(const std::string& program, const std::string& params, const std::string& url);
