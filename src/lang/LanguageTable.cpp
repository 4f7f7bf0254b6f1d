#include "lang/LanguageTable.h"

namespace {

// Maker contact data, help and web addresses are the shipped defaults; a
// language file may replace every one of them.
const LanguageRow table[] = {
    {"Menu", 999, "Tessaro", "TForm1", "ProgramTitle", TextUse::Role, TextForm::Plain},  // ProgramTitle: program name that begins the main window cap
    {"Menu", 1, "Soubor", "TForm1", "Soubor1", TextUse::Caption, TextForm::Plain},
    {"Menu", 11, "Otevřít", "TForm1", "Otevt1", TextUse::Caption, TextForm::Plain},
    {"Menu", 12, "Uložit", "TForm1", "Uloit1", TextUse::Caption, TextForm::Plain},
    {"Menu", 13, "Uložit jako", "TForm1", "Uloitjako1", TextUse::Caption, TextForm::Plain},
    {"Menu", 14, "Tisk nastavení", "TForm1", "isknastaven1", TextUse::Caption, TextForm::Plain},
    {"Menu", 15, "Konec", "TForm1", "Konec1", TextUse::Caption, TextForm::Plain},
    {"Menu", 2, "KAVR - Vigilor", "TForm1", "ZARPvrtn1", TextUse::Caption, TextForm::Padded},
    {"Menu", 22, "Načíst nastavení", "TForm1", "Nastnastaven1", TextUse::Caption, TextForm::Plain},
    {"Menu", 25, "Zapsat nastavení", "TForm1", "Ulotnastaven1", TextUse::Caption, TextForm::Plain},
    {"Menu", 3, "Nástroje", "TForm1", "est1", TextUse::Caption, TextForm::Plain},
    {"Menu", 31, "Ukázky tónů", "TForm1", "Ukzkytn1", TextUse::Caption, TextForm::Plain},
    {"Menu", 33, "Nastavení portu", "TForm1", "Nastavenportu1", TextUse::Caption, TextForm::Plain},
    {"Menu", 4, "Pomoc", "TForm1", "Pomoc1", TextUse::Caption, TextForm::Plain},
    {"Menu", 41, "Nápověda", "TForm1", "Npovda1", TextUse::Caption, TextForm::Plain},
    {"Menu", 42, "Uživatelská příručka", "TForm1", "Uivatelskpruka1", TextUse::Caption, TextForm::Plain},
    {"Menu", 43, "Novinky", "TForm1", "Novinky1", TextUse::Caption, TextForm::Plain},
    {"Menu", 44, "O programu", "TForm1", "Oprogramu1", TextUse::Caption, TextForm::Plain},
    {"Menu", 80, "Porovnat s komunikátorem", "TForm1", "Porovnat1", TextUse::Caption, TextForm::Plain},
    {"Menu", 81, "Historie", "TForm1", "Historie1", TextUse::Caption, TextForm::Plain},
    {"Menu", 5, "Jazyk", "TForm1", "Jazyk1", TextUse::Caption, TextForm::Plain},
    {"Menu", 11, "Otevřít", "TForm1", "BitBtn1", TextUse::Caption, TextForm::Plain},
    {"Menu", 12, "Uložit", "TForm1", "BitBtn2", TextUse::Caption, TextForm::Plain},
    {"Menu", 61, "Čas servisního volání:", "TForm1", "Label15", TextUse::Caption, TextForm::Plain},
    {"Menu", 62, "Počet zapnutí:", "TForm1", "Label2", TextUse::Caption, TextForm::Plain},
    {"Menu", 65, "hod", "TForm1", "Label16", TextUse::Caption, TextForm::Plain},
    {"Menu", 1, "Soubor", "TForm1", "FilePrefix", TextUse::Role, TextForm::FilePrefix},  // FilePrefix: the text followed by ": "
    {"Menu", 66, "Výrobní číslo:", "TForm1", "Panel3", TextUse::Caption, TextForm::LeadingBlank},
    {"TAB1", 1, "Základní parametry", "TForm1", "TabSheet3", TextUse::Caption, TextForm::Plain},
    {"TAB1", 11, "Druh volby", "TForm1", "GroupBox13", TextUse::Caption, TextForm::Padded},
    {"TAB1", 12, "Tónová (DTMF)", "TForm1", "RadioButton6", TextUse::Caption, TextForm::Plain},
    {"TAB1", 13, "Impulsní", "TForm1", "RadioButton7", TextUse::Caption, TextForm::Plain},
    {"TAB1", 21, "Znak prodloužení hovoru", "TForm1", "GroupBox15", TextUse::Caption, TextForm::Padded},
    {"TAB1", 22, "*  - hvězdička", "TForm1", "RadioButton10", TextUse::Caption, TextForm::Plain},
    {"TAB1", 23, "#  - křížek", "TForm1", "RadioButton11", TextUse::Caption, TextForm::Plain},
    {"TAB1", 31, "Zavěšení z telefonu", "TForm1", "GroupBox16", TextUse::Caption, TextForm::Padded},
    {"TAB1", 32, "Kód pro zavěšení:", "TForm1", "Label154", TextUse::Caption, TextForm::Plain},
    {"TAB1", 40, "Servisní heslo", "TForm1", "GroupBox23", TextUse::Caption, TextForm::Padded},
    {"TAB1", 41, "Servisní heslo pro přístup do programování vrátného\nz telefonu :", "TForm1", "Label158", TextUse::Caption, TextForm::Plain},
    {"TAB1", 51, "Potvrzovací znak", "TForm1", "GroupBox5", TextUse::Caption, TextForm::Padded},
    {"TAB1", 52, "Tuto kombinaci je nutno navolit na telefonu pro potvrzení spojení (pokud je zvoleno u telefonního čísla \"potvrzovat\")", "TForm1", "Label8", TextUse::Caption, TextForm::Plain},
    {"TAB1", 60, "Spínač", "TForm1", "GroupBox6", TextUse::Caption, TextForm::Padded},
    {"TAB1", 61, "Kód sepnutí z telefonu:", "TForm1", "Label9", TextUse::Caption, TextForm::Plain},
    {"TAB1", 62, "Doba sepnutí spínače [sec]:", "TForm1", "Label12", TextUse::Caption, TextForm::Plain},
    {"TAB2", 1, "Další nastavení", "TForm1", "TabSheet4", TextUse::Caption, TextForm::Plain},
    {"TAB2", 11, "Vstup pro blokování volby - BLK", "TForm1", "GroupBox14", TextUse::Caption, TextForm::Padded},
    {"TAB2", 12, "Blokováno přivedením napětí", "TForm1", "RadioButton8", TextUse::Caption, TextForm::Plain},
    {"TAB2", 13, "Blokováno odpojením napětí", "TForm1", "RadioButton9", TextUse::Caption, TextForm::Plain},
    {"TAB2", 21, "Servisní volání", "TForm1", "GroupBox11", TextUse::Caption, TextForm::Padded},
    {"TAB2", 22, "Vypnuto - nikdy nevolá", "TForm1", "RadioButton1", TextUse::Caption, TextForm::Plain},
    {"TAB2", 23, "Zapnuto - volá po uplynutí času", "TForm1", "RadioButton2", TextUse::Caption, TextForm::Plain},
    {"TAB2", 24, "Zapnuto - volá po připojení a po uplynutí času", "TForm1", "RadioButton3", TextUse::Caption, TextForm::Plain},
    {"TAB2", 31, "Vstup hlášení poruchy - IN1", "TForm1", "GroupBox12", TextUse::Caption, TextForm::Padded},
    {"TAB2", 32, "Porucha se vyvolá přivedením napětí", "TForm1", "RadioButton4", TextUse::Caption, TextForm::Plain},
    {"TAB2", 33, "Porucha se vyvolá odpojením napětí", "TForm1", "RadioButton5", TextUse::Caption, TextForm::Plain},
    {"TAB2", 41, "Opakování nouzových volání ", "TForm1", "GroupBox8", TextUse::Caption, TextForm::Padded},
    {"TAB2", 42, "Počet opakování cyklů nouzových volání:", "TForm1", "Label19", TextUse::Caption, TextForm::Plain},
    {"TAB2", 51, "Vyvolání poruchy", "TForm1", "GroupBox3", TextUse::Caption, TextForm::Padded},
    {"TAB2", 52, "Čas trvání poruchy, než se vyvolá volání [sec]:", "TForm1", "Label18", TextUse::Caption, TextForm::Plain},
    {"TAB2", 61, "Opakování servisních volání", "TForm1", "GroupBox9", TextUse::Caption, TextForm::Padded},
    {"TAB2", 62, "Čas opakování servisních volání po [min]:", "TForm1", "Label20", TextUse::Caption, TextForm::Plain},
    {"TAB2", 71, "Polarita tlačítka pro nouzové volání", "TForm1", "GroupBox10", TextUse::Caption, TextForm::Plain},
    {"TAB2", 72, "Normální polarita - aktivuje se spojením", "TForm1", "RadioButton12", TextUse::Caption, TextForm::Plain},
    {"TAB2", 73, "Opačná polarita - aktivuje se rozpojením", "TForm1", "RadioButton13", TextUse::Caption, TextForm::Plain},
    {"TAB3", 1, "Časové parametry", "TForm1", "TabSheet5", TextUse::Caption, TextForm::Plain},
    {"TAB3", 11, "Provoz", "TForm1", "GroupBox22", TextUse::Caption, TextForm::Padded},
    {"TAB3", 12, "Maximální doba hovoru [min] :", "TForm1", "Label149", TextUse::Caption, TextForm::Plain},
    {"TAB3", 13, "Počet zazvonění než KAVR vyzvedne :", "TForm1", "Label150", TextUse::Caption, TextForm::Plain},
    {"TAB3", 14, "Čas mezi stisky tlačítek [sec] :", "TForm1", "Label151", TextUse::Caption, TextForm::Plain},
    {"TAB3", 15, "Čas zavěšení před opakováním volby [sec] :", "TForm1", "Label152", TextUse::Caption, TextForm::Plain},
    {"TAB3", 16, "Čas pro zahájení vytáčení volby [sec] :", "TForm1", "Label159", TextUse::Caption, TextForm::Plain},
    {"TAB3", 17, "Čas mezi servisním voláním [dny] :", "TForm1", "Label160", TextUse::Caption, TextForm::Plain},
    {"TAB3", 21, "Volba", "TForm1", "GroupBox21", TextUse::Caption, TextForm::Padded},
    {"TAB3", 22, "Délka tónu DTMF volby [ms] :", "TForm1", "Label162", TextUse::Caption, TextForm::Plain},
    {"TAB3", 23, "Délka mezery DTMF volby [ms] :", "TForm1", "Label163", TextUse::Caption, TextForm::Plain},
    {"TAB3", 24, "Délka Flash volby [ms] :", "TForm1", "Label164", TextUse::Caption, TextForm::Plain},
    {"TAB3", 25, "Délka Pausy / Mezičíslicové mezery volby [ms] :", "TForm1", "Label165", TextUse::Caption, TextForm::Plain},
    {"TAB3", 31, "Rozpoznání vyzvednutí", "TForm1", "GroupBox7", TextUse::Caption, TextForm::Padded},
    {"TAB3", 32, "Čas bez vyzváněceho tónu - detekce vyzvednutí [sec]:", "TForm1", "Label13", TextUse::Caption, TextForm::Plain},
    {"TAB3", 33, "Čas čekání na potvrzení po vyzvednutí  [sec]:", "TForm1", "Label14", TextUse::Caption, TextForm::Plain},
    {"TAB3", 40, "Signalizace - vyzvednutí a zavěšení linky", "TForm1", "CheckBox11", TextUse::Caption, TextForm::Plain},
    {"TAB3", 41, "Signalizace - ostatní tóny", "TForm1", "CheckBox12", TextUse::Caption, TextForm::Plain},
    {"TAB3", 42, "Ano", "TForm1", "", TextUse::Role, TextForm::Plain},  // word for yes in the settings printout
    {"TAB3", 43, "Ne", "TForm1", "", TextUse::Role, TextForm::Plain},  // word for no in the settings printout
    {"TAB4", 1, "Telefonní čísla", "TForm1", "TabSheet1", TextUse::Caption, TextForm::Plain},
    {"TAB4", 11, "Nouzové volání", "TForm1", "GroupBox1", TextUse::Caption, TextForm::Padded},
    {"TAB4", 12, "Pořadí", "TForm1", "Label4", TextUse::Caption, TextForm::RowLabel, 1},
    {"TAB4", 12, "Pořadí", "TForm1", "Label5", TextUse::Caption, TextForm::RowLabel, 2},
    {"TAB4", 12, "Pořadí", "TForm1", "Label6", TextUse::Caption, TextForm::RowLabel, 3},
    {"TAB4", 12, "Pořadí", "TForm1", "Label7", TextUse::Caption, TextForm::RowLabel, 4},
    {"TAB4", 12, "Pořadí", "TForm1", "Label11", TextUse::Caption, TextForm::RowLabel, 5},
    {"TAB4", 12, "Pořadí", "TForm1", "Label10", TextUse::Caption, TextForm::RowLabel, 6},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox1", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox2", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox3", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox4", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox5", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox6", TextUse::Caption, TextForm::Plain},
    {"TAB4", 21, "Servisní volání", "TForm1", "GroupBox2", TextUse::Caption, TextForm::Padded},
    {"TAB4", 22, "Hlášení podle času", "TForm1", "Label1", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox7", TextUse::Caption, TextForm::Plain},
    {"TAB4", 23, "Použít i nouzová čísla", "TForm1", "CheckBox9", TextUse::Caption, TextForm::Plain},
    {"TAB4", 31, "Chybové volání", "TForm1", "GroupBox4", TextUse::Caption, TextForm::Padded},
    {"TAB4", 32, "Hlášení od vstupu IN1", "TForm1", "Label3", TextUse::Caption, TextForm::Plain},
    {"TAB4", 13, "Potvrzovat", "TForm1", "CheckBox8", TextUse::Caption, TextForm::Plain},
    {"TAB4", 23, "Použít i nouzová čísla", "TForm1", "CheckBox10", TextUse::Caption, TextForm::Plain},
    {"MESSAGE", 11, "Heslo nesmí obsahovat 1 číslo, minimum jsou 2 čísla, maximum je 6 číslic, prázdné je zrušení hesla", "TForm1", "", TextUse::Role, TextForm::Plain},  // message of the confirmation-code field check, Edit8
    {"MESSAGE", 12, "Nesmí obsahovat 1 číslo, povinná jsou 2 čísla, prázdné je zrušení kódu", "TForm1", "", TextUse::Role, TextForm::Plain},  // message of the hang-up code and switch-on code field checks
    {"MESSAGE", 13, "Potvrzovací znak musí obsahovat alespoň 2 znaky ", "TForm1", "", TextUse::Role, TextForm::Plain},  // second message of the confirmation-code field check, Edit8
    {"MESSAGE", 14, "Heslo musí obsahovat 4 číslice", "TForm1", "", TextUse::Role, TextForm::Plain},  // message of the service password field check, Edit144
    {"MESSAGE", 15, "Nelze přehrávat zvukové soubory, zvuková karta není nainstalovaná", "TForm1", "", TextUse::Role, TextForm::Plain},  // message of the tone samples command when no sound output device
    {"MESSAGE", 16, "Nebyl vybrán žádný soubor", "TForm1", "", TextUse::Role, TextForm::Plain},  // message when no settings file was chosen (Open command, command line)
    {"MESSAGE", 17, "Vybraný soubor není soubor pro nastavení KAVR", "TForm1", "", TextUse::Role, TextForm::Plain},  // message when the chosen file is not a settings file
    {"MESSAGE", 18, "info@kavrotech.example", "TForm1", "", TextUse::Role, TextForm::Plain},  // e-mail address of the About box mail links
    {"MESSAGE", 18, "info@kavrotech.example", "TForm2", "Label9", TextUse::Caption, TextForm::EmailPrefix},
    {"MESSAGE", 19, "Dotaz z programu Tessaro", "TForm1", "", TextUse::Role, TextForm::Plain},  // subject line of the About box mail links
    {"MESSAGE", 20, "https://www.kavrotech.example/", "TForm1", "", TextUse::Role, TextForm::Plain},  // web address opened from the About box
    {"MESSAGE", 20, "www.kavrotech.example", "TForm2", "Label8", TextUse::Caption, TextForm::WebPrefix},
    {"MESSAGE", 21, "Manual.pdf", "TForm1", "", TextUse::Role, TextForm::Plain},  // file name of the user manual
    {"MESSAGE", 22, "Soubory s nastavením", "TForm1", "", TextUse::Role, TextForm::Plain},  // name of the settings file type in the open and save dialog filters
    {"MESSAGE", 23, "Uložit nastavení vrátného KAVR do souboru", "TForm1", "", TextUse::Role, TextForm::Plain},  // title of the save dialog
    {"MESSAGE", 24, "Soubor již existuje, chcete ho přepsat?", "TForm1", "", TextUse::Role, TextForm::Plain},  // question before overwriting an existing file
    {"MESSAGE", 25, "Dotaz systému", "TForm1", "", TextUse::Role, TextForm::Plain},  // caption of that question
    {"MESSAGE", 26, "Otevřít - soubory s nastavením KAVR", "TForm1", "", TextUse::Role, TextForm::Plain},  // title of the open dialog
    {"MESSAGE", 27, "Všechny soubory", "TForm1", "", TextUse::Role, TextForm::Plain},  // name of the all-files filter of the open dialog
    {"MESSAGE", 31, "Storno", "TForm1", "", TextUse::Role, TextForm::Plain},  // action choice dialog TForm7: cancel button
    {"MESSAGE", 32, "Načíst z vrátného", "TForm1", "", TextUse::Role, TextForm::Plain},  // action choice dialog: read-from-communicator button
    {"MESSAGE", 33, "Přepnout režim", "TForm1", "", TextUse::Role, TextForm::Plain},  // action choice dialog: switch-mode button
    {"MESSAGE", 34, "Vymazat počítadlo", "TForm1", "", TextUse::Role, TextForm::Plain},  // action choice dialog: clear-counter button
    {"MESSAGE", 35, "Chyba komunikace", "TForm1", "", TextUse::Role, TextForm::Plain},  // communication error message
    {"MESSAGE", 36, "Obsah paměti není správný", "TForm1", "", TextUse::Role, TextForm::Plain},  // message when the data read from the communicator are not valid
    {"MESSAGE", 37, "Výběr akce ", "TForm1", "", TextUse::Role, TextForm::Plain},  // caption of the action choice dialog
    {"MESSAGE", 38, "Před zápisem dat do výtahového komunikátoru KAVR nezapomeňte nejprve data načíst !", "TForm8", "Label1", TextUse::Caption, TextForm::Plain},
    {"MESSAGE", 39, "Chybné číslo portu, prosím nastavte správné", "TForm1", "", TextUse::Role, TextForm::Plain},  // message after opening the serial port for an exchange failed
    {"MESSAGE", 40, "Kolik hodin zbývá do servisního volání:", "TForm1", "", TextUse::Role, TextForm::Plain},  // confirmation dialog TForm9: hours to the service call
    {"MESSAGE", 41, "změnit na:", "TForm1", "", TextUse::Role, TextForm::Plain},  // confirmation dialog TForm9: words put before the new value
    {"MESSAGE", 43, "Počet zapnutí zachovat nebo přepsat?", "TForm1", "", TextUse::Role, TextForm::Plain},  // confirmation dialog TForm9: keep or overwrite the power-on
    {"MESSAGE", 44, "Potvrďte pro pokračování zápisu", "TForm1", "", TextUse::Role, TextForm::Plain},  // confirmation dialog TForm9: confirm to go on writing
    {"MESSAGE", 47, "Chcete uložit data s nastavením?", "TForm1", "", TextUse::Role, TextForm::Plain},  // question when the main window closes
    {"MESSAGE", 48, "Uložit soubor", "TForm1", "", TextUse::Role, TextForm::Plain},  // caption of that question
    {"MESSAGE", 49, "Chcete načíst soubor s nastavením?", "TForm1", "", TextUse::Role, TextForm::Plain},  // question asked by the main window timer
    {"MESSAGE", 50, "Otevřít soubor", "TForm1", "", TextUse::Role, TextForm::Plain},  // caption of that question
    // A write refused before any byte is sent: %1 the field's label, %2 its text.
    {"MESSAGE", 60, "Nastavení nelze zapsat: pole „%1“ neobsahuje číslo („%2“).", "TForm1", "", TextUse::Role, TextForm::Plain},
    // A write refused because a field holds what the communicator cannot take:
    // %1 the field's label, %2 its text, %3 what it may hold (62 with 63/64,
    // or the field check's own message for the codes).
    {"MESSAGE", 61, "Nastavení nelze zapsat: pole „%1“ obsahuje „%2“. %3", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 62, "Povolené hodnoty: %1", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 63, "%1 až %2", "TForm1", "", TextUse::Role, TextForm::Plain},  // a range of values
    {"MESSAGE", 64, "%1 až %2 po %3", "TForm1", "", TextUse::Role, TextForm::Plain},  // a range of values in steps
    // The print command: no printer is installed (printing to a PDF file is offered);
    // a print job failed, %1 the printer or the file.
    {"MESSAGE", 65, "Není nainstalována žádná tiskárna. Nastavení lze vytisknout do souboru PDF.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 66, "Tisk se nezdařil: %1", "TForm1", "", TextUse::Role, TextForm::Plain},
    // An address nothing on the computer opens, shown after this text for
    // copying; a write ended from the counter confirmation.
    {"MESSAGE", 70, "Adresu se nepodařilo otevřít, v počítači chybí program, který by ji otevřel. Adresu můžete označit a zkopírovat:", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 71, "Zápis byl zrušen: do komunikátoru nebylo nic zapsáno.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 80, "Zapsáno a ověřeno", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 81, "Komunikátor neuložil zapsané nastavení správně:", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 82, "%1: zapsáno %2, přečteno %3", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 83, "Nastavení z doby před zápisem je uloženo v souboru %1", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 84, "Nastavení z doby před zápisem uloženo není.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 85, "Zápis proběhl, ale zpětné čtení se nezdařilo: zápis nelze ověřit.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 86, "Nastavení komunikátoru před zápisem nelze uložit (%1). Zapsat bez zálohy?", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 87, "Zápis bez zálohy", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 88, "Nastavení v okně a v komunikátoru se neliší.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 89, "Nastavení v okně a v souboru se neliší.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 90, "bajt bloku %1: zapsáno %2, přečteno %3", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 91, "Otevřete soubor „před zápisem“ (Historie) a zapište ho znovu.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"MESSAGE", 51, "Upozornění", "TForm9", "TForm9", TextUse::Caption, TextForm::Plain},
    {"OTHER", 11, "Výběr sériového portu", "TForm5", "TForm5", TextUse::Caption, TextForm::Plain},
    {"OTHER", 12, "Výběr dostupného portu", "TForm5", "AfPortRadioGroup1", TextUse::Caption, TextForm::Plain},
    {"OTHER", 13, "Ukázky tónů vrátného", "TForm3", "TForm3", TextUse::Caption, TextForm::Plain},
    {"OTHER", 14, "Připojení linky (reset)", "TForm3", "Button7", TextUse::Caption, TextForm::Plain},
    {"OTHER", 15, "Vyzvednutí linky", "TForm3", "Button1", TextUse::Caption, TextForm::Plain},
    {"OTHER", 16, "Zavěšení linky", "TForm3", "Button2", TextUse::Caption, TextForm::Plain},
    {"OTHER", 17, "Prázdná paměť", "TForm3", "Button5", TextUse::Caption, TextForm::Plain},
    {"OTHER", 18, "Vstup do programování", "TForm3", "Button8", TextUse::Caption, TextForm::Plain},
    {"OTHER", 19, "Programovací tón", "TForm3", "Button9", TextUse::Caption, TextForm::Plain},
    {"OTHER", 20, "Potvrzení", "TForm3", "Button3", TextUse::Caption, TextForm::Plain},
    {"OTHER", 21, "Chyba", "TForm3", "Button4", TextUse::Caption, TextForm::Plain},
    {"OTHER", 22, "Upozornění na konec hovoru", "TForm3", "Button6", TextUse::Caption, TextForm::Plain},
    {"OTHER", 23, "O programu ...", "TForm2", "TForm2", TextUse::Caption, TextForm::Plain},
    {"OTHER", 24, "Program pro nastavení vlastností a parametrů", "TForm2", "Label1", TextUse::Caption, TextForm::Plain},
    {"OTHER", 25, "New Vigilink", "TForm2", "Label2", TextUse::Caption, TextForm::Plain},
    {"OTHER", 26, "Kavrotech s.r.o.", "TForm2", "Label3", TextUse::Caption, TextForm::Plain},
    {"OTHER", 27, "Výtahová 12", "TForm2", "Label4", TextUse::Caption, TextForm::Plain},
    {"OTHER", 28, "Brno", "TForm2", "Label5", TextUse::Caption, TextForm::Plain},
    {"OTHER", 29, "602 00", "TForm2", "Label6", TextUse::Caption, TextForm::Plain},
    {"OTHER", 30, "KAVROTECH.BMP", "TForm1", "", TextUse::Role, TextForm::Plain},  // file name of the About box picture
    {"OTHER", 31, "Verze:", "TForm2", "Label10", TextUse::Caption, TextForm::Plain},
    {"OTHER", 35, "Na tomto počítači není nainstalován program \"ACROBAT READER\",", "TForm1", "", TextUse::Role, TextForm::Plain},  // first line of the message when no PDF reader is installed
    {"OTHER", 36, "Program lze zdarma stáhnout na adrese https://www.pdfreader.example/cs/", "TForm1", "", TextUse::Role, TextForm::Plain},  // second line of that message
    {"OTHER", 37, "Tessaro-CZ.html", "TForm1", "", TextUse::Role, TextForm::Plain},  // help file name
    {"OTHER", 38, "Nenalezl soubor nápovědy", "TForm1", "", TextUse::Role, TextForm::Plain},  // message when the help file is missing
    {"OTHER", 39, "Zavěšení linky", "TForm3", "Button2", TextUse::Caption, TextForm::Plain},
    {"OTHER", 40, "Potvrzení", "TForm3", "Button3", TextUse::Caption, TextForm::Plain},
    {"OTHER", 41, "Chyba", "TForm3", "Button4", TextUse::Caption, TextForm::Plain},
    {"OTHER", 42, "Prázdná paměť", "TForm3", "Button5", TextUse::Caption, TextForm::Plain},
    {"OTHER", 43, "Upozornění na konec hovoru", "TForm3", "Button6", TextUse::Caption, TextForm::Plain},
    {"OTHER", 44, "Vyzvednutí linky", "TForm3", "Button1", TextUse::Caption, TextForm::Plain},
    {"OTHER", 45, "Vstup do programování", "TForm3", "Button8", TextUse::Caption, TextForm::Plain},
    {"OTHER", 47, "Programovací tón", "TForm3", "Button9", TextUse::Caption, TextForm::Plain},
    {"OTHER", 50, "Probíhá komunikace", "TForm6", "Label1", TextUse::Caption, TextForm::Plain},
    {"OTHER", 51, "Chybové volání", "TForm3", "Button10", TextUse::Caption, TextForm::Plain},
    {"OTHER", 52, "Systémové volání", "TForm3", "Button11", TextUse::Caption, TextForm::Plain},
    {"OTHER", 53, "https://www.kavrotech.example/kavr/novinky", "TForm1", "", TextUse::Role, TextForm::Plain},  // web page opened by the news command
    // The help window: back, forward, the find field, find next, nothing found.
    {"OTHER", 70, "Zpět", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 71, "Vpřed", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 72, "Hledat:", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 73, "Hledat další", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 74, "Text nebyl nalezen", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 80, "Porovnání s komunikátorem", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 81, "Parametr", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 82, "V okně", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 83, "V komunikátoru", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 84, "V souboru", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 85, "Převzít hodnoty z komunikátoru", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 86, "Převzít hodnoty ze souboru", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 87, "Zavřít", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 88, "Porovnání se souborem", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 89, "Historie", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 91, "Otevřít", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 92, "Porovnat s oknem", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 93, "Datum a čas", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 94, "Událost", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 95, "Firmware", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 96, "čtení", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 97, "před zápisem", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 98, "zapsáno", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 99, "Výrobní číslo %1", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 100, "Historie je zatím prázdná.", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 101, "zpětné čtení", "TForm1", "", TextUse::Role, TextForm::Plain},
    // The list of what a write will change, shown before it sends anything.
    {"OTHER", 110, "Co zápis změní", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 111, "Stránka", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 112, "Po zápisu", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 113, "Zapsat", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 114, "Zrušit", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 115, "Nic se nezmění", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 120, "Výrobní číslo", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 121, "Místo", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 122, "Technik", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 123, "Hledat výrobní číslo, místo nebo hodnotu (i telefonní číslo)", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 124, "Nastavit místo", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 125, "Místo komunikátoru %1 (adresa, výtah):", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 127, "Skupina", "TForm1", "", TextUse::Role, TextForm::Plain},
    // Sharing the history, and where the settings in the window come from.
    {"OTHER", 130, "Nesdílené záznamy historie: %1", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 131, "Nesdílené záznamy historie: %1 (%2)", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 132, "Nastavení z historie: výrobní číslo %1, %2, %3", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"OTHER", 133, "Nastavení z historie: %1", "TForm1", "", TextUse::Role, TextForm::Plain},
    // The language of Qt's own texts (buttons, standard dialogs) as a locale name.
    {"OTHER", 90, "cs", "TForm1", "", TextUse::Role, TextForm::Plain},
    {"HINT", 1, "Stav seriového portu", "TForm1", "Label166", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit1", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit2", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit3", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit4", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit5", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit6", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit7", TextUse::Hint, TextForm::Plain},
    {"HINT", 2, "Telefonní číslo", "TForm1", "Edit12", TextUse::Hint, TextForm::Plain},
    {"HINT", 4, "Pozor - měníte druh sestavy - ovlivňuje vlastnosti vrátného !", "TForm1", "GroupBox11", TextUse::Hint, TextForm::Plain},
    {"HINT", 5, "Kolik zbývá hodin do dalšího servisního volání", "TForm1", "Panel1", TextUse::Hint, TextForm::Plain},
    {"HINT", 6, "Počet připojení na linku (resetů) - pouze 0-255, pak se opakuje", "TForm1", "Panel2", TextUse::Hint, TextForm::Plain},
    {"HINT", 7, "Otevřít soubor s nastavením", "TForm1", "BitBtn1", TextUse::Hint, TextForm::Plain},
    {"HINT", 8, "Uložit soubor s nastavením", "TForm1", "BitBtn2", TextUse::Hint, TextForm::Plain},
    {"HINT", 10, "Načíst nastavení z KAVR", "TForm1", "BitBtn4", TextUse::Hint, TextForm::Plain},
    {"HINT", 13, "Zapsat nastavení do KAVR", "TForm1", "BitBtn7", TextUse::Hint, TextForm::Plain},
    {"HINT", 15, "Připojení na internet", "TForm2", "Label8", TextUse::Hint, TextForm::Plain},
    {"HINT", 16, "Napsat Email", "TForm2", "Label9", TextUse::Hint, TextForm::Plain},
    {"HINT", 17, "Napsat Email autorovi", "TForm2", "Label7", TextUse::Hint, TextForm::Plain},
    {"HINT", 15, "Připojení na internet", "TForm2", "Image1", TextUse::Hint, TextForm::Plain},
};

}  // namespace

namespace LanguageTable {

std::span<const LanguageRow> rows() { return table; }

QString compose(const LanguageRow &row, const QString &value)
{
    switch (row.form) {
    case TextForm::Plain:
        return value;
    case TextForm::Padded:
        return QLatin1Char(' ') + value + QLatin1Char(' ');
    case TextForm::LeadingBlank:
        return QLatin1Char(' ') + value;
    case TextForm::FilePrefix:
        return value + QLatin1String(": ");
    case TextForm::EmailPrefix:
        return QLatin1String("Email: ") + value;
    case TextForm::WebPrefix:
        return QLatin1String("Web:  ") + value;
    case TextForm::RowLabel:
        return value + QLatin1Char(' ') + QString::number(row.row);
    }
    return value;
}

}  // namespace LanguageTable
