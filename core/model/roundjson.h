#pragma once

#include "core/model/participant.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace foresyn {

// The round file as JSON, field for field with the names of the format:
// a participant object with its "Products", each with its "Curves", and the
// per-year tables under "Years", first year first. Numbers read back to the
// same double; values that are not finite are the strings "NaN", "Infinity"
// and "-Infinity". Texts are UTF-8.
QByteArray ParticipantToJson(const TParticipant& participant);

// Builds the participant that the JSON describes, storing every field as
// given (no setter rules apply). Refuses with TError("<path>: <problem>") a
// document that is not valid JSON, lacks or adds a key, has a table of the
// wrong size for its year range, a base position outside 0..4, or a text the
// round file's code page cannot hold.
std::unique_ptr<TParticipant> ParticipantFromJson(QByteArrayView json);

} // namespace foresyn
