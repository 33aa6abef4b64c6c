#include "toolkit/CommandHold.h"

namespace {

int holds = 0;

} // namespace

TCommandHold::TCommandHold()
{
    ++holds;
}

TCommandHold::~TCommandHold()
{
    --holds;
}

bool TCommandHold::Held()
{
    return holds > 0;
}
