#pragma once
#include <optional>
#include <string>

class Vigil;

// Opening a Vigil's site for the user, always through the client program of
// its kind: there is no DDE here to hand the URL to a running browser.

// View, on the window thread: runClientProgram.
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
// (Vigil::placeholderValue). A filled-in value is quoted so that it arrives as
// one argument whatever it holds; an empty value adds no argument.
std::string expandedCommandLine(const Vigil& vigil, const std::string& program,
                                const std::optional<std::string>& params);

// Starts program with the expanded command line. A program that is empty or
// blank starts nothing (trace line "run program: nothing started, no program
// word"). True when a process started.
bool runVigilProgram(const Vigil& vigil, const std::string& program, const std::optional<std::string>& params);

// The command line openUrlInBrowser starts: the program, a blank, the parameters
// with the first "%URL" and the first "%url" blanked, and the URL after them.
std::string browserCommandLine(const std::string& program, const std::string& params, const std::string& url);
