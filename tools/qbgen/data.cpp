#include "data.h"

namespace qbgen {

// clang-format off

// Windows-1252 bytes are written as escapes; a string is split where the
// next letter would otherwise read as part of the escape.
const std::string_view kLastNames[] = {
    "Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller", "Davis", "Rodriguez", "Martinez",
    "Hernandez", "Lopez", "Gonzalez", "Wilson", "Anderson", "Thomas", "Taylor", "Moore", "Jackson", "Martin",
    "Lee", "Perez", "Thompson", "White", "Harris", "Sanchez", "Clark", "Ramirez", "Lewis", "Robinson",
    "Walker", "Young", "Allen", "King", "Wright", "Scott", "Torres", "Nguyen", "Hill", "Flores",
    "Green", "Adams", "Nelson", "Baker", "Hall", "Rivera", "Campbell", "Mitchell", "Carter", "Roberts",
    "Gomez", "Phillips", "Evans", "Turner", "Diaz", "Parker", "Cruz", "Edwards", "Collins", "Reyes",
    "Stewart", "Morris", "Morales", "Murphy", "Cook", "Rogers", "Gutierrez", "Ortiz", "Morgan", "Cooper",
    "Peterson", "Bailey", "Reed", "Kelly", "Howard", "Ramos", "Kim", "Cox", "Ward", "Richardson",
    "Watson", "Brooks", "Chavez", "Wood", "James", "Bennett", "Gray", "Mendoza", "Ruiz", "Hughes",
    "Price", "Alvarez", "Castillo", "Sanders", "Patel", "Myers", "Long", "Ross", "Foster", "Jimenez",
    "Powell", "Jenkins", "Perry", "Russell", "Sullivan", "Bell", "Coleman", "Butler", "Henderson", "Barnes",
    "Fisher", "Vasquez", "Simmons", "Romero", "Jordan", "Patterson", "Alexander", "Hamilton", "Graham", "Reynolds",
    "Griffin", "Wallace", "Moreno", "West", "Cole", "Hayes", "Bryant", "Herrera", "Gibson", "Ellis",
    "Tran", "Medina", "Aguilar", "Stevens", "Murray", "Ford", "Castro", "Marshall", "Owens", "Harrison",
    "Fernandez", "McDonald", "Woods", "Washington", "Kennedy", "Wells", "Vargas", "Henry", "Chen", "Freeman",
    "Webb", "Tucker", "Guzman", "Burns", "Crawford", "Olson", "Simpson", "Porter", "Hunter", "Gordon",
    "Mendez", "Silva", "Shaw", "Snyder", "Mason", "Dixon", "Munoz", "Hunt", "Hicks", "Holmes",
    "Palmer", "Wagner", "Black", "Robertson", "Boyd", "Rose", "Stone", "Salazar", "Fox", "Warren",
    "Mills", "Meyer", "Rice", "Schmidt", "Garza", "Daniels", "Ferguson", "Nichols", "Stephens", "Soto",
    "Weaver", "Ryan", "Gardner", "Payne", "Grant", "Dunn", "Kelley", "Spencer", "Hawkins", "Arnold",
    "Pierce", "Vazquez", "Hansen", "Peters", "Santos", "Hart", "Bradley", "Knight", "Elliott", "Cunningham",
    "Duncan", "Armstrong", "Hudson", "Carroll", "Lane", "Riley", "Andrews", "Alvarado", "Ray", "Delgado",
    "Berry", "Perkins", "Hoffman", "Johnston", "Matthews", "Pena", "Richards", "Contreras", "Willis", "Carpenter",
    "Lawrence", "Sandoval", "O'Brien", "O'Neil", "MacLeod", "McKenzie", "DuBois", "LaFleur", "Van Dyke", "St. Clair",
    "Smythe", "Smithson", "Small", "Jonas", "Leeds",
    "M\xFCller", "Gonz\xE1lez", "Fern\xE1ndez", "Jim\xE9nez", "Dvo\x9A\xE1k", "\xC5str\xF6m", "B\xE9langer",
    "C\xF4t\xE9", "Lef\xE8vre", "Th\xE9riault", "Gagn\xE9", "Ni\xF1o", "Pe\xF1" "a", "Mu\xF1oz", "Sch\xF6n",
    "Kr\xFCger", "Jovanovi\xE6", "d'Ath\xE9", "Bj\xF6rklund", "L\xF8vland", "\xD8stergaard", "Cr\xE9pin",
    "Bront\xEB", "Gar\xE7on", "Stra\xDF" "er", "\x8Akoda", "\x8E" "eleznik", "Ko\x9Aice",
};
const int kLastNameCount = int(sizeof kLastNames / sizeof kLastNames[0]);

const std::string_view kFirstNames[] = {
    "James", "Mary", "John", "Patricia", "Robert", "Jennifer", "Michael", "Linda", "William", "Elizabeth",
    "David", "Barbara", "Richard", "Susan", "Joseph", "Jessica", "Thomas", "Sarah", "Charles", "Karen",
    "Christopher", "Nancy", "Daniel", "Lisa", "Matthew", "Betty", "Anthony", "Margaret", "Mark", "Sandra",
    "Donald", "Ashley", "Steven", "Kimberly", "Paul", "Emily", "Andrew", "Donna", "Joshua", "Michelle",
    "Kenneth", "Dorothy", "Kevin", "Carol", "Brian", "Amanda", "George", "Melissa", "Timothy", "Deborah",
    "Ronald", "Stephanie", "Edward", "Rebecca", "Jason", "Sharon", "Jeffrey", "Laura", "Ryan", "Cynthia",
    "Jacob", "Kathleen", "Gary", "Amy", "Nicholas", "Angela", "Eric", "Shirley", "Jonathan", "Anna",
    "Stephen", "Brenda", "Larry", "Pamela", "Justin", "Emma", "Scott", "Nicole", "Brandon", "Helen",
    "Benjamin", "Samantha", "Samuel", "Katherine", "Gregory", "Christine", "Alexander", "Debra", "Frank", "Rachel",
    "Patrick", "Carolyn", "Raymond", "Janet", "Jack", "Catherine", "Dennis", "Maria", "Jerry", "Heather",
    "Tyler", "Diane", "Aaron", "Ruth", "Jose", "Julie", "Adam", "Olivia", "Nathan", "Joyce",
    "Henry", "Virginia", "Douglas", "Victoria", "Zachary", "Kelly", "Peter", "Lauren", "Kyle", "Christina",
    "Ethan", "Joan", "Walter", "Evelyn", "Noah", "Judith", "Jeremy", "Megan", "Christian", "Andrea",
    "Keith", "Cheryl", "Roger", "Hannah", "Terry", "Jacqueline", "Gerald", "Martha", "Harold", "Gloria",
    "Sean", "Teresa", "Austin", "Ann", "Carl", "Sara", "Arthur", "Madison", "Lawrence", "Frances",
    "Dylan", "Kathryn", "Jesse", "Janice", "Jordan", "Jean", "Bryan", "Abigail", "Billy", "Alice",
    "Joe", "Julia", "Bruce", "Judy", "Gabriel", "Sophia", "Logan", "Grace", "Albert", "Denise",
    "Willie", "Amber", "Alan", "Doris", "Juan", "Marilyn", "Wayne", "Danielle", "Elijah", "Beverly",
    "Randy", "Isabella", "Roy", "Theresa", "Vincent", "Diana", "Ralph", "Natalie", "Eugene", "Brittany",
    "Russell", "Charlotte", "Bobby", "Marie", "Mason", "Kayla", "Philip", "Alexis", "Louis", "Lori",
    "Jo", "Jon", "Johnny", "Joanne",
    "Jos\xE9", "Ren\xE9" "e", "Fran\xE7ois", "J\xFCrgen", "Bj\xF6rn", "Zo\xEB", "\xC9lodie", "Andr\xE9",
    "Ma\xEFt\xE9", "Chlo\xE9", "J\xF6rg", "Se\xE1n", "Ra\xFAl", "In\xE9s", "Sof\xED" "a", "Jes\xFAs",
    "H\xE9l\xE8ne", "Ang\xE9lique", "S\xF8ren", "\xC5sa", "Ji\x9E\xED", "Ond\xF8" "ej", "Fr\xE9" "d\xE9ric",
};
const int kFirstNameCount = int(sizeof kFirstNames / sizeof kFirstNames[0]);

const std::string_view kPrefixes[] = {"Mr.", "Ms.", "Mrs.", "Dr.", "Prof.", "Rev.", "Miss", "Hon."};
const int kPrefixCount = int(sizeof kPrefixes / sizeof kPrefixes[0]);

const std::string_view kTitles[] = {
    "President", "Vice President", "Director of Sales", "Office Manager", "Accountant", "Chief Engineer",
    "Purchasing Agent", "Treasurer", "Secretary", "Marketing Manager", "Owner", "Librarian", "Principal",
    "Pastor", "Sales Representative", "Project Manager", "Consultant", "Editor", "Administrator",
    "Volunteer Coordinator", "Head of Research", "Executive Director", "Chair", "Registrar",
};
const int kTitleCount = int(sizeof kTitles / sizeof kTitles[0]);

const std::string_view kOrgWords[] = {
    "Acme", "Bluebird", "Cedar", "Summit", "Harbor", "Pioneer", "Northwind", "Redwood", "Keystone", "Lakeside",
    "Granite", "Silverline", "Meadow", "Riverbend", "Oakmont", "Brightway", "Prairie", "Highland", "Maple", "Beacon",
};
const int kOrgWordCount = int(sizeof kOrgWords / sizeof kOrgWords[0]);

const std::string_view kOrgKinds[] = {
    "Industries", "Supply Co.", "Associates", "Community Church", "Public Library", "Bakery", "Hardware",
    "Insurance Agency", "Dental Group", "Garden Club", "Historical Society", "Elementary School",
    "Consulting LLC", "Printing Inc.", "Veterinary Clinic", "Credit Union",
};
const int kOrgKindCount = int(sizeof kOrgKinds / sizeof kOrgKinds[0]);

const std::string_view kStreetNames[] = {
    "Main", "Oak", "Maple", "Cedar", "Pine", "Elm", "Washington", "Lake", "Hill", "Park", "Walnut", "Spring",
    "North", "Ridge", "Church", "Willow", "Mill", "Sunset", "Jackson", "Cherry", "Highland", "Franklin",
    "Lincoln", "Madison", "River", "Chestnut", "Meadow", "Forest", "Jefferson", "Center", "Broad", "College",
};
const int kStreetNameCount = int(sizeof kStreetNames / sizeof kStreetNames[0]);

const std::string_view kStreetKinds[] = {"St.", "Ave.", "Rd.", "Blvd.", "Dr.", "Ln.", "Ct.", "Way", "Pl.", "Terrace"};
const int kStreetKindCount = int(sizeof kStreetKinds / sizeof kStreetKinds[0]);

const std::string_view kMailDomains[] = {"example.com", "example.net", "example.org", "mail.example.com",
                                         "post.example.net"};
const int kMailDomainCount = int(sizeof kMailDomains / sizeof kMailDomains[0]);

const std::string_view kCodes[] = {"A", "B", "C", "AC", "VIP", "XMAS", "BOARD", "MEMBER", "DONOR", "PRESS",
                                   "A B", "C VIP", "SUPPLIER", "CLIENT", "NEWS"};
const int kCodeCount = int(sizeof kCodes / sizeof kCodes[0]);

const std::string_view kComments[] = {
    "Prefers e-mail", "Call after 5 pm", "Met at the spring fair", "Sends a card every year",
    "Renewal due in June", "Referred by a member", "Do not call on weekends", "Moved last year",
    "Wants the quarterly newsletter", "Large-print letters, please", "Annual donor", "Board member since 2001",
};
const int kCommentCount = int(sizeof kComments / sizeof kComments[0]);

const std::string_view kMemoLines[] = {
    "Called about the annual dinner; will attend with a guest.",
    "Asked to be removed from the spring mailing only.",
    "Address confirmed by phone.",
    "Prefers to be contacted at the office.",
    "Sent a thank-you note for the donation.",
    "Interested in volunteering at the autumn sale.",
    "Old address: see the previous card file.",
    "Spouse also on the list under the maiden name.",
    "Returned mail once; new address checked with the post office.",
    "Caf\xE9 owner; orders 20 calendars every December.",
};
const int kMemoLineCount = int(sizeof kMemoLines / sizeof kMemoLines[0]);

const Place kPlaces[] = {
    {"Springfield", "IL", "USA", "217", "627", 12},   {"Chicago", "IL", "USA", "312", "606", 60},
    {"Peoria", "IL", "USA", "309", "616", 10},        {"Naperville", "IL", "USA", "630", "605", 4},
    {"Indianapolis", "IN", "USA", "317", "462", 40},  {"Fort Wayne", "IN", "USA", "260", "468", 18},
    {"Columbus", "OH", "USA", "614", "432", 35},      {"Cleveland", "OH", "USA", "216", "441", 30},
    {"Cincinnati", "OH", "USA", "513", "452", 40},    {"Detroit", "MI", "USA", "313", "482", 35},
    {"Ann Arbor", "MI", "USA", "734", "481", 6},      {"Madison", "WI", "USA", "608", "537", 15},
    {"Milwaukee", "WI", "USA", "414", "532", 25},     {"Minneapolis", "MN", "USA", "612", "554", 20},
    {"St. Paul", "MN", "USA", "651", "551", 15},      {"Des Moines", "IA", "USA", "515", "503", 15},
    {"St. Louis", "MO", "USA", "314", "631", 40},     {"Kansas City", "MO", "USA", "816", "641", 30},
    {"Boston", "MA", "USA", "617", "021", 20},        {"Worcester", "MA", "USA", "508", "016", 8},
    {"Hartford", "CT", "USA", "860", "061", 10},      {"New York", "NY", "USA", "212", "100", 99},
    {"Buffalo", "NY", "USA", "716", "142", 20},       {"Albany", "NY", "USA", "518", "122", 10},
    {"Philadelphia", "PA", "USA", "215", "191", 50},  {"Pittsburgh", "PA", "USA", "412", "152", 35},
    {"Baltimore", "MD", "USA", "410", "212", 30},     {"Richmond", "VA", "USA", "804", "232", 25},
    {"Atlanta", "GA", "USA", "404", "303", 40},       {"Savannah", "GA", "USA", "912", "314", 8},
    {"Orlando", "FL", "USA", "407", "328", 30},       {"Miami", "FL", "USA", "305", "331", 40},
    {"Tampa", "FL", "USA", "813", "336", 25},         {"Nashville", "TN", "USA", "615", "372", 30},
    {"Dallas", "TX", "USA", "214", "752", 50},        {"Austin", "TX", "USA", "512", "787", 40},
    {"Houston", "TX", "USA", "713", "770", 99},       {"Denver", "CO", "USA", "303", "802", 30},
    {"Phoenix", "AZ", "USA", "602", "850", 40},       {"Seattle", "WA", "USA", "206", "981", 30},
    {"Portland", "OR", "USA", "503", "972", 30},      {"San Diego", "CA", "USA", "619", "921", 30},
    {"Sacramento", "CA", "USA", "916", "958", 30},    {"Los Angeles", "CA", "USA", "213", "900", 99},
    {"Toronto", "ON", "Canada", "416", "M5V", 0},     {"Ottawa", "ON", "Canada", "613", "K1P", 0},
    {"Montr\xE9" "al", "QC", "Canada", "514", "H3B", 0}, {"Qu\xE9" "bec", "QC", "Canada", "418", "G1R", 0},
    {"Vancouver", "BC", "Canada", "604", "V6B", 0},   {"Winnipeg", "MB", "Canada", "204", "R3C", 0},
};
const int kPlaceCount = int(sizeof kPlaces / sizeof kPlaces[0]);

// clang-format on

} // namespace qbgen
