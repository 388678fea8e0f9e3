// How fast the message catalog loads a language file and answers lookups,
// on the simulated machine (every allocation passes through winsim).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <winsim/machine.h>

#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"

namespace
{

const char *const BIG_FILE = "D:\\lang.big";
const char *const SMALL_FILE = "D:\\lang.eng";
const size_t BIG_FILE_SIZE = 10 * 1024 * 1024;

// The texts a setup run shows, as a real language file holds them.
const char *const small_file_lines[] = {
    "; English texts of the setup",
    "SetupInit: Preparing the setup...",
    "SetupRemoveOld: Removing the earlier printer drivers...",
    "SetupStopSpooler: Stopping the print spooler...",
    "SetupInstallFiles: Copying the driver files...",
    "SetupStartSpooler: Starting the print spooler...",
    "SetupInstallDriver: Adding the fax and telex printer drivers...",
    "ClosingPrintServer: Closing the fax server...",
    "installing...: Copying files...",
    "Installing port...: Adding the printer port...",
    "Waiting for port..: Waiting for the printer port...",
    "Port installed: The printer port is ready.",
    "Register: Registering the removal program...",
    "Register1: Writing the program name...",
    "Register2: Writing the removal command...",
    "StartPrinter: Starting the fax server...",
    "SetupCantInit: The setup cannot start.",
    "SetupCantRemoveOld: The earlier drivers cannot be removed.",
    "SetupCantStopSpooler: The print spooler does not stop.",
    "SetupCantInstallFiles: The driver files cannot be copied.",
    "SetupCantStartSpooler: The print spooler does not start.",
    "SetupCantInstallDriver: The printer drivers cannot be added.",
    "CantLoadWinspool: WINSPOOL.DRV cannot be loaded.",
    "SetupOk: \"%s\\n\\nis installed. Please restart Windows.\"",
    "SetupOk95: \"%s\\n\\nis installed. Please restart Windows before printing.\"",
    "SetupFailed: The setup did not finish.\\n\\nPlease run it again.",
    "RemoveOk: \"%s\\n\\nis removed. Please restart Windows.\"",
    "RemoveOk95: \"%s\\n\\nis removed. Please restart Windows to delete the last files.\"",
    "RemoveFailed: The drivers could not all be removed.",
    "ChooseAction: Install or remove the printer drivers?",
    "ChooseLanguage: Please choose a language.",
};

std::string crlf_lines(const std::vector<std::string> &lines)
{
    std::string bytes;
    for (const std::string &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

std::vector<std::string> small_keys;
std::vector<std::string> big_keys;
size_t big_file_bytes;

// A language file of BIG_FILE_SIZE bytes: comments, blank lines, escapes,
// quoted values and a few repeated keys, much as translators write them.
std::string generate_big_file()
{
    std::string bytes;
    bytes.reserve(BIG_FILE_SIZE + 256);
    char line[512];
    for (unsigned n = 0; bytes.size() < BIG_FILE_SIZE; n++) {
        if (n % 40 == 0) {
            snprintf(line, sizeof line, "\r\n; Section %u: texts of the driver pages\r\n", n / 40);
            bytes += line;
        }
        char key[32];
        // Every 97th line repeats an earlier key, as a corrected text does.
        unsigned id = (n % 97 == 96) ? n / 2 : n;
        snprintf(key, sizeof key, "Driver%uPage%u", id % 211, id);
        snprintf(line, sizeof line,
                 "%s: \"The printer driver %u could not be copied to\\n%%s.\\t"
                 "Please check the folder and try again (code %u).\"\r\n",
                 key, id, id * 7);
        bytes += line;
        if (id == n)
            big_keys.push_back(key);
    }
    return bytes;
}

void load_or_stop(benchmark::State &state, const char *file)
{
    if (load_message_file(file) != 0)
        state.SkipWithError("the language file cannot be loaded");
}

void BM_LoadTenMegabyteLanguageFile(benchmark::State &state)
{
    for (auto _ : state)
        load_or_stop(state, BIG_FILE);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * big_file_bytes));
    state.counters["keys"] = static_cast<double>(big_keys.size());
}
BENCHMARK(BM_LoadTenMegabyteLanguageFile)->Unit(benchmark::kMillisecond);

void BM_LoadShippedSizeLanguageFile(benchmark::State &state)
{
    for (auto _ : state)
        load_or_stop(state, SMALL_FILE);
}
BENCHMARK(BM_LoadShippedSizeLanguageFile)->Unit(benchmark::kMicrosecond);

// Looks the keys up in a fixed random order; range(0) = 1 for keys that the
// catalog does not hold (the default text is then shown).
void run_lookups(benchmark::State &state, const std::vector<std::string> &keys)
{
    std::vector<std::string> probes = keys;
    if (state.range(0) == 1)
        for (std::string &probe : probes)
            probe += "X";
    std::shuffle(probes.begin(), probes.end(), std::mt19937(7));
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lookup_text(probes[next].c_str(), "default"));
        if (++next == probes.size())
            next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["keys"] = static_cast<double>(keys.size());
}

void BM_LookupInShippedSizeCatalog(benchmark::State &state)
{
    load_or_stop(state, SMALL_FILE);
    run_lookups(state, small_keys);
}
BENCHMARK(BM_LookupInShippedSizeCatalog)->Arg(0)->Arg(1);

void BM_LookupInLargeCatalog(benchmark::State &state)
{
    load_or_stop(state, BIG_FILE);
    run_lookups(state, big_keys);
}
BENCHMARK(BM_LookupInLargeCatalog)->Arg(0)->Arg(1);

void BM_FormatCatalogTextIntoMessageText(benchmark::State &state)
{
    load_or_stop(state, SMALL_FILE);
    for (auto _ : state) {
        const char *text = lookup_text("SetupOk", nullptr);
        benchmark::DoNotOptimize(
            format_catalog_text(message_text, MESSAGE_TEXT_SIZE, text, product_display_name));
    }
}
BENCHMARK(BM_FormatCatalogTextIntoMessageText);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    winsim::boot(winsim::MachineSetup());
    // A journal of millions of calls would measure the recorder, not the catalog.
    winsim::set_journal_enabled(false);
    std::vector<std::string> lines(std::begin(small_file_lines), std::end(small_file_lines));
    for (const std::string &line : lines)
        if (line[0] != ';')
            small_keys.push_back(line.substr(0, line.find(':')));
    winsim::put_file(SMALL_FILE, crlf_lines(lines));
    std::string big = generate_big_file();
    big_file_bytes = big.size();
    winsim::put_file(BIG_FILE, big);

    benchmark::RunSpecifiedBenchmarks();

    table_release(message_table);
    message_table = nullptr;
    winsim::shut_down();
    benchmark::Shutdown();
    return 0;
}
