#pragma once

// The language texts the program looks up by itself, named by what they say.
// Each name stands for one section and key of the language files; its value
// carries both (the section's base plus the key), so the name shows at a
// glance which entry of a language file it reads. Texts applied row by row to
// the windows' controls are the language table's rows instead.
namespace TextSection
{
constexpr int Menu = 1000;
constexpr int Tab1 = 2000;
constexpr int Tab2 = 3000;
constexpr int Tab3 = 4000;
constexpr int Tab4 = 5000;
constexpr int Message = 6000;
constexpr int Other = 7000;
constexpr int Hint = 8000;
} // namespace TextSection

enum class Text : int {
    // The help window's title when the page has none.
    HelpMenu = TextSection::Menu + 41,

    // Words for yes and no in the settings printout.
    Yes = TextSection::Tab3 + 42,
    No = TextSection::Tab3 + 43,

    // Field checks: the focus goes back into the field after these.
    ConfirmationCodeLength = TextSection::Message + 11,
    CodeLength = TextSection::Message + 12,
    ConfirmationCodeTooShort = TextSection::Message + 13,
    PasswordLength = TextSection::Message + 14,

    NoSoundCard = TextSection::Message + 15,
    NoFileChosen = TextSection::Message + 16,
    NotSettingsFile = TextSection::Message + 17,

    // The maker's addresses (About box, help pages).
    MakerEmail = TextSection::Message + 18,
    MailSubject = TextSection::Message + 19,
    MakerWebAddress = TextSection::Message + 20,

    // The open and save dialogs.
    SettingsFileType = TextSection::Message + 22,
    SaveDialogTitle = TextSection::Message + 23,
    OverwriteQuestion = TextSection::Message + 24,
    SystemQuestion = TextSection::Message + 25,
    OpenDialogTitle = TextSection::Message + 26,
    AllFiles = TextSection::Message + 27,

    // The action choice for a counter.
    Cancel = TextSection::Message + 31,
    ReadFromCommunicator = TextSection::Message + 32,
    ClearCounter = TextSection::Message + 34,
    ActionChoice = TextSection::Message + 37,

    CommunicationError = TextSection::Message + 35,
    MemoryContentsInvalid = TextSection::Message + 36,
    WrongPortNumber = TextSection::Message + 39,

    // The counter confirmation before a write.
    HoursToServiceCall = TextSection::Message + 40,
    ChangeTo = TextSection::Message + 41,
    KeepOrOverwritePowerOnCount = TextSection::Message + 43,
    ConfirmToGoOnWriting = TextSection::Message + 44,

    // Questions of the main window.
    SaveSettingsQuestion = TextSection::Message + 47,
    SaveFile = TextSection::Message + 48,
    OpenSettingsQuestion = TextSection::Message + 49,
    OpenFile = TextSection::Message + 50,

    // A write refused before any byte is sent, and what a field may hold.
    WriteRefused = TextSection::Message + 61,
    AllowedValues = TextSection::Message + 62,
    Range = TextSection::Message + 63,
    SteppedRange = TextSection::Message + 64,

    NoPrinter = TextSection::Message + 65,
    PrintFailed = TextSection::Message + 66,
    NoProgramForAddress = TextSection::Message + 70,

    // The outcome of a write.
    WriteCancelled = TextSection::Message + 71,
    WrittenAndVerified = TextSection::Message + 80,
    StoredOtherwise = TextSection::Message + 81,
    WrittenAndReadBack = TextSection::Message + 82,
    BackupKeptIn = TextSection::Message + 83,
    NoBackupKept = TextSection::Message + 84,
    WriteUnverified = TextSection::Message + 85,
    WriteWithoutBackupQuestion = TextSection::Message + 86,
    WriteWithoutBackup = TextSection::Message + 87,
    BlockByteDiffers = TextSection::Message + 90,
    WriteAgainFromBackup = TextSection::Message + 91,

    // Compare with nothing to list.
    SameAsCommunicator = TextSection::Message + 88,
    SameAsFile = TextSection::Message + 89,

    AboutPicture = TextSection::Other + 30,
    HelpFile = TextSection::Other + 37,
    HelpFileMissing = TextSection::Other + 38,
    NewsAddress = TextSection::Other + 53,

    // The help window.
    Back = TextSection::Other + 70,
    Forward = TextSection::Other + 71,
    Find = TextSection::Other + 72,
    FindNext = TextSection::Other + 73,
    TextNotFound = TextSection::Other + 74,

    // The compare window.
    CompareWithCommunicator = TextSection::Other + 80,
    Parameter = TextSection::Other + 81,
    InWindow = TextSection::Other + 82,
    InCommunicator = TextSection::Other + 83,
    InFile = TextSection::Other + 84,
    TakeFromCommunicator = TextSection::Other + 85,
    TakeFromFile = TextSection::Other + 86,
    Close = TextSection::Other + 87,
    CompareWithFile = TextSection::Other + 88,

    // The history window.
    History = TextSection::Other + 89,
    Open = TextSection::Other + 91,
    CompareWithWindow = TextSection::Other + 92,
    DateAndTime = TextSection::Other + 93,
    Event = TextSection::Other + 94,
    Firmware = TextSection::Other + 95,
    EventRead = TextSection::Other + 96,
    EventBeforeWrite = TextSection::Other + 97,
    EventWritten = TextSection::Other + 98,
    SerialNumberGroup = TextSection::Other + 99,
    HistoryEmpty = TextSection::Other + 100,
    EventReadBack = TextSection::Other + 101,

    // The list of what a write will change, shown before it sends anything.
    WriteChanges = TextSection::Other + 110,
    Page = TextSection::Other + 111,
    AfterWrite = TextSection::Other + 112,
    WriteButton = TextSection::Other + 113,
    CancelButton = TextSection::Other + 114,
    NothingChanges = TextSection::Other + 115,
    // The history window as the place to find a communicator; the compare
    // window's page and group.
    SerialNumber = TextSection::Other + 120,
    Site = TextSection::Other + 121,
    Technician = TextSection::Other + 122,
    FleetSearch = TextSection::Other + 123,
    SetSite = TextSection::Other + 124,
    SitePrompt = TextSection::Other + 125,
    Group = TextSection::Other + 127,
    // Sharing the history with the company's repository: the count of
    // entries the remote does not hold yet, with why the last try failed.
    NotShared = TextSection::Other + 130,
    NotSharedBecause = TextSection::Other + 131,
    // The settings in the window come from a file of the history: its
    // serial number, time and event, or its name when it is no entry's.
    FromHistory = TextSection::Other + 132,
    FromHistoryFile = TextSection::Other + 133,

    // The language of Qt's own texts, as a locale name.
    QtLanguage = TextSection::Other + 90,
};
