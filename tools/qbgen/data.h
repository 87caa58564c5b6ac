// Word lists the demo address generator draws from. Every person, company,
// e-mail address and phone number made from them is fictional; the places
// are real cities with ZIP or postal codes of the right shape and area.
#pragma once

#include <string_view>

namespace qbgen {

struct Place {
    const char* city;
    const char* state; // two-letter state or province code
    const char* country;
    const char* areaCode;
    const char* zipBase; // US: first three ZIP digits; Canada: forward sortation area
    int zipSpread;       // US: how many 5-digit codes the city spreads over
};

extern const std::string_view kLastNames[];
extern const int kLastNameCount;
extern const std::string_view kFirstNames[];
extern const int kFirstNameCount;
extern const std::string_view kPrefixes[];
extern const int kPrefixCount;
extern const std::string_view kTitles[];
extern const int kTitleCount;
extern const std::string_view kOrgWords[];
extern const int kOrgWordCount;
extern const std::string_view kOrgKinds[];
extern const int kOrgKindCount;
extern const std::string_view kStreetNames[];
extern const int kStreetNameCount;
extern const std::string_view kStreetKinds[];
extern const int kStreetKindCount;
extern const std::string_view kMailDomains[];
extern const int kMailDomainCount;
extern const std::string_view kCodes[];
extern const int kCodeCount;
extern const std::string_view kComments[];
extern const int kCommentCount;
extern const std::string_view kMemoLines[];
extern const int kMemoLineCount;
extern const Place kPlaces[];
extern const int kPlaceCount;

} // namespace qbgen
