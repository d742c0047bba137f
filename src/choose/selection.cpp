// The selection stage from request to IDs: the candidate list, then the mode.
// The request's reference flag is settled here, once, so that no mode ever
// asks which way its arithmetic is done.
#include "choose/selection.h"

#include "choose/modes.h"
#include "scan/candidates.h"

namespace vantor {

SelectionOutcome runSelection(const SelectionRequest& request, RandomSource& rng) {
    CandidateList candidates(request);
    return selectByMode(candidates, request, rng, request.reference ? plainWays : fastWays);
}

}  // namespace vantor
