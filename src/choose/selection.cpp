// The selection stage from request to IDs: the mode over the candidate list.
// The request's reference flag is settled here, once, so that no mode ever
// asks which way its arithmetic is done.
#include "choose/selection.h"

#include "choose/modes.h"

namespace vantor {

SelectionOutcome runSelection(const SelectionRequest& request, RandomSource& rng) {
    return selectByMode(request, rng, request.reference ? plainWays : fastWays);
}

}  // namespace vantor
