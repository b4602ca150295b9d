#pragma once

#include <libxml/tree.h>

class CheckReport;

// Who issues and who receives: tax ids and their check characters (F-P1),
// person type against the id (F-P2), Spanish postcodes (F-P3), the texts a
// document cannot do without (F-P4) and the administrative centres of a
// public-administration customer (F-C1, F-C2).
namespace PartyChecks {

void run(const xmlNode* root, CheckReport& report);

} // namespace PartyChecks
