#pragma once

#include <QStringList>

// Times orvane-cli check, verify and sign on hostile documents (100,000
// nested elements; an entity of 100 KB used 20,000 times) and reports each
// run's peak memory: every one must be refused in well under a second and
// 50 MB. A throwaway certificate is made with the openssl command.
//
//   orvane-bench --hostile [RUNS]
//   orvane-bench --hostile-once ARGUMENTS...   one orvane-cli run (used by the parent)
int runHostileBench(int runs);
int hostileOnce(const QStringList& cliArguments);
