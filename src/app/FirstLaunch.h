#pragma once

#include <QStringList>

class LocalInstanceGuard;

// A verb that awaits an answer, launched when no copy runs: the launching process gives the running
// copy's role up, starts the application as its own process (detached, the same program, no request),
// hands the request over as a later launch would, prints the answer and returns its exit status. The
// application keeps running after this process has gone.
int startApplicationAndAsk(LocalInstanceGuard& guard, const QStringList& arguments);
