// Not a test: photographs every window of flashloader.exe under Wine, on an
// X desktop of its own with the simulated modem on COM8, for the README
// (scripts/screenshots.sh). Usage: wine-screenshots WINDOWS-BIN-DIR OUT-DIR

#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WineSerialMap.h"
#include "tests/support/XSession.h"

#include <cstdio>
#include <string>

#include <unistd.h>

namespace {

class Photographer {
public:
    Photographer(std::string exe, std::string out) : m_exe(std::move(exe)), m_out(std::move(out)) {}

    bool Start(std::string& error)
    {
        if (!m_session.Start(m_dir.Path(), error))
            return false;
        WriteFileBytes(m_dir.File("tarnix.ini"), ReadFileBytes(std::string(FL_SOURCE_DIR) + "/resources/tarnix.ini"));
        WriteFileBytes(m_dir.File("MODEM.HEX"), MakeImage({}));
        ProcessResult added = AddToWineSerialMap("COM8");
        if (added.exitCode != 0)
            error = "the port could not be added to the serial device map: " + added.err;
        return added.exitCode == 0;
    }

    // The program started on a modem with these options.
    bool Run(const std::vector<std::string>& modemArgs, ModemSimProcess& modem, BackgroundProcess& program)
    {
        std::vector<std::string> args = {"--wine-port", "COM8", "--flash-out", m_dir.File("flashed.hex")};
        args.insert(args.end(), modemArgs.begin(), modemArgs.end());
        ::unlink(m_dir.File("flashed.hex").c_str());
        ::unlink(m_dir.File("lastsel.dat").c_str());
        XSession::EndWineDesktopsWithoutDisplay();
        return modem.Start(args) &&
               program.Start("/usr/bin/wine", {m_exe}, m_dir.Path(), {"WINEDEBUG=-all", m_session.DisplayVariable()});
    }

    // Waits for the window and photographs it as name.png (only waits
    // when name is empty); its id.
    std::string Shoot(const std::string& title, const std::string& name, int seconds = 60)
    {
        std::string id = m_session.Await(title, seconds);
        if (id.empty()) {
            std::fprintf(stderr, "wine-screenshots: no window \"%s\"\n", title.c_str());
            m_failed = true;
            return id;
        }
        if (name.empty())
            return id;
        ::usleep(700 * 1000);  // painted
        std::string png = m_out + "/" + name + ".png";
        ProcessResult shot = RunProcess(
            "/bin/sh", {"-c", "xwd -silent -id " + id + " | xwdtopnm 2>/dev/null | pnmtopng > '" + png + "'"}, {},
            {m_session.DisplayVariable()});
        if (shot.exitCode != 0) {
            std::fprintf(stderr, "wine-screenshots: %s could not be made: %s\n", png.c_str(), shot.err.c_str());
            m_failed = true;
        } else {
            std::printf("%s\n", png.c_str());
        }
        return id;
    }

    void Key(const std::string& key) { m_session.X({"key", key}); }
    bool Flashed() const { return FileExists(m_dir.File("flashed.hex")); }
    bool Failed() const { return m_failed; }

private:
    std::string m_exe;
    std::string m_out;
    ScopedTempDir m_dir;
    XSession m_session;
    bool m_failed = false;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: wine-screenshots WINDOWS-BIN-DIR OUT-DIR\n");
        return 2;
    }
    Photographer camera(std::string(argv[1]) + "/flashloader.exe", argv[2]);
    std::string error;
    if (!camera.Start(error)) {
        std::fprintf(stderr, "wine-screenshots: %s\n", error.c_str());
        return 1;
    }
    {
        ModemSimProcess modem;
        BackgroundProcess program;
        if (!camera.Run({}, modem, program))
            return 1;
        camera.Shoot("Modem Flash Loader - Welcome", "win-wizard-welcome", 90);
        camera.Key("space");  // the ABOUT picture has the focus
        camera.Shoot("About", "win-about");
        camera.Key("Return");
        camera.Key("Return");  // Next: the scan
        camera.Shoot("Modem Flash Loader - COM Port Options", "win-wizard-ports", 90);
        camera.Key("Return");
        camera.Shoot("Modem Flash Loader - Loading File Path", "win-wizard-path");
        camera.Key("Return");
        camera.Shoot("Modem Flash Loader - Input Confirmation", "win-confirm-ready");
        camera.Key("Return");  // Perform Loading
        for (int i = 0; i < 600 && !camera.Flashed(); ++i)
            ::usleep(100 * 1000);
        ::usleep(1000 * 1000);
        camera.Shoot("Modem Flash Loader - Loading...", "win-confirm-succeeded");
        camera.Key("Return");  // Close
        int code = 0;
        program.Wait(20000, code);
    }
    {
        ModemSimProcess modem;
        BackgroundProcess program;
        if (!camera.Run({"--type", "C"}, modem, program))
            return 1;
        camera.Shoot("Modem Flash Loader - Welcome", "", 90);
        camera.Key("Return");
        camera.Shoot("Modem Flash Loader - COM Port Options", "", 90);
        camera.Key("Return");
        camera.Shoot("Modem Flash Loader - Loading File Path", "");
        camera.Key("Return");
        camera.Shoot("Modem Flash Loader - Input Confirmation", "win-confirm-mismatch");
        camera.Key("Escape");
        camera.Shoot("Modem Flash Loader - Loading File Path", "");
        camera.Key("Escape");
        int code = 0;
        program.Wait(20000, code);
    }
    return camera.Failed() ? 1 : 0;
}
