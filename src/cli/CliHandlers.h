#pragma once

struct CliRun;

// What each command of tessaro-cli does; the command table names them. Each
// returns the exit code, having said on standard error what went wrong.
namespace CliHandlers
{

// Settings files (FileCommands.cpp).
int show(CliRun &run);
int diff(CliRun &run);
int print(CliRun &run);
int exportJson(CliRun &run);
int importJson(CliRun &run);

// The communicator (ExchangeCommands.cpp).
int status(CliRun &run);
int read(CliRun &run);
int write(CliRun &run);
int compare(CliRun &run);

// Settings files from a template (TemplateCommands.cpp).
int set(CliRun &run);
int make(CliRun &run);

// The device history (HistoryCommand.cpp).
int history(CliRun &run);
int historySync(CliRun &run);

// The fleet and the sites (FleetCommand.cpp).
int fleet(CliRun &run);
int site(CliRun &run);

// The help text (CliCommands.cpp).
int help(CliRun &run);

} // namespace CliHandlers
