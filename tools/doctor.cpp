#include "tools/doctor.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "identity/build_identity.h"
#include "vexcam/VexCamLinux.h"

namespace vexcam::tool {
namespace {

constexpr const char* kRuleName = "60-vexcam.rules";
// Folders udev reads rules from; the first is for local changes.
constexpr const char* kRuleFolders[] = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d",
                                        "/lib/udev/rules.d"};
// Folders a prefix install may have put the rule in, which udev never reads.
constexpr const char* kIgnoredRuleFolders[] = {"/usr/local/lib/udev/rules.d"};
// Each streaming camera keeps one bulk transfer of this size in flight.
constexpr unsigned kUsbfsMbPerCamera = 4;
// What a link moves in practice, in MB/s.
constexpr double kSuperSpeedMBps = 400.0;
constexpr double kHighSpeedMBps = 40.0;

struct Report {
  int blocking = 0;
  int warnings = 0;

  void Ok(const std::string& text) { std::printf("  ok    %s\n", text.c_str()); }
  void Info(const std::string& text) { std::printf("  info  %s\n", text.c_str()); }
  void Warn(const std::string& text, const std::string& fix) {
    ++warnings;
    std::printf("  warn  %s\n", text.c_str());
    if (!fix.empty()) std::printf("        fix: %s\n", fix.c_str());
  }
  void Block(const std::string& text, const std::string& fix) {
    ++blocking;
    std::printf("  FAIL  %s\n", text.c_str());
    if (!fix.empty()) std::printf("        fix: %s\n", fix.c_str());
  }
};

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  return text;
}

std::string ReadLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string UserNameOf(uid_t uid) {
  const passwd* pw = getpwuid(uid);
  return pw != nullptr ? pw->pw_name : std::to_string(uid);
}

std::string UserName() { return UserNameOf(geteuid()); }

std::string GroupName(gid_t gid) {
  const group* gr = getgrgid(gid);
  return gr != nullptr ? gr->gr_name : std::to_string(gid);
}

std::string InstalledRule() {
  for (const char* folder : kRuleFolders) {
    const std::string path = std::string(folder) + "/" + kRuleName;
    if (Exists(path)) return path;
  }
  return "";
}

std::string RuleFix() {
  return std::string(
      "sudo cp 60-vexcam.rules /etc/udev/rules.d/ && sudo udevadm control --reload && "
      "sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=04b4 "
      "(the rule is in the source tree's udev/ folder and in the libvexcam package)");
}

void CheckRule(Report& r) {
  std::printf("udev rule\n");
  const std::string rule = InstalledRule();
  if (!rule.empty()) {
    r.Ok("installed: " + rule);
    return;
  }
  for (const char* folder : kIgnoredRuleFolders) {
    const std::string path = std::string(folder) + "/" + kRuleName;
    if (Exists(path)) {
      r.Warn("the rule is at " + path + ", where udev does not look",
             "sudo cp " + path + " /etc/udev/rules.d/ && sudo udevadm control --reload");
      return;
    }
  }
  r.Warn("the udev rule is not installed: only root can open the cameras", RuleFix());
}

// One real camera: its node, who may open it, the link.
void CheckCamera(Report& r, const VEXCAM_USB_CAMERA& c, double* neededMb) {
  const std::string sys = std::string("/sys/bus/usb/devices/") + c.location;
  const std::string bus = ReadLine(sys + "/busnum");
  const std::string dev = ReadLine(sys + "/devnum");
  const std::string speed = ReadLine(sys + "/speed");
  std::string node;
  if (!bus.empty() && !dev.empty()) {
    node = Printf("/dev/bus/usb/%03d/%03d", std::atoi(bus.c_str()), std::atoi(dev.c_str()));
  }
  std::printf(" camera %04x:%04x at USB %s%s%s\n", c.vendorId, c.productId, c.location,
              node.empty() ? "" : ", ", node.c_str());

  struct stat st {};
  const bool haveNode = !node.empty() && stat(node.c_str(), &st) == 0;
  const std::string owner =
      haveNode ? Printf("owner %s, group %s, mode %03o", UserNameOf(st.st_uid).c_str(),
                        GroupName(st.st_gid).c_str(), static_cast<unsigned>(st.st_mode & 0777))
               : "";
  const bool mayOpen = haveNode && access(node.c_str(), R_OK | W_OK) == 0;
  if (!haveNode) {
    r.Block("its device node " + (node.empty() ? std::string("is unknown") : node + " is missing"),
            "replug the camera; check 'dmesg' for USB errors");
  } else if (!mayOpen) {
    r.Block(Printf("user %s may not open %s (%s)", UserName().c_str(), node.c_str(), owner.c_str()),
            InstalledRule().empty()
                ? RuleFix()
                : "the rule is installed but not in effect: sudo udevadm control --reload && "
                  "sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=04b4, "
                  "then log in again at the machine (the rule grants access to the seat's user)");
  } else if (!c.opens) {
    r.Block(Printf("%s is accessible (%s) but the library could not open the camera", node.c_str(),
                   owner.c_str()),
            "another program may hold it ('sudo fuser -v " + node + "'); else replug it");
  } else {
    r.Ok(Printf("user %s may open it (%s)", UserName().c_str(), owner.c_str()));
  }

  const double mbps = std::atof(speed.c_str());
  if (speed.empty()) {
    r.Info("link speed unknown");
  } else if (mbps >= 5000) {
    r.Ok(Printf("SuperSpeed link (%s Mbit/s): about %.0f MB/s for frames", speed.c_str(),
                kSuperSpeedMBps));
  } else {
    r.Warn(Printf("the link is not SuperSpeed (%s Mbit/s): about %.0f MB/s, a tenth of a USB 3 "
                  "link; large frames "
                  "come at a fraction of the camera's frame rate",
                  speed.c_str(), mbps >= 480 ? kHighSpeedMBps : mbps / 8 / 2),
           "plug the camera into a USB 3 port (blue, or marked SS) with a USB 3 cable, without a "
           "USB 2 hub between");
  }
  *neededMb += kUsbfsMbPerCamera;
}

void CheckCameras(Report& r, const VEXCAM_DIAGNOSIS& d) {
  std::printf("cameras\n");
  unsigned real = 0, simulated = 0;
  double neededMb = 0;
  for (DWORD i = 0; i < d.cameraCount; ++i) {
    const VEXCAM_USB_CAMERA& c = d.cameras[i];
    if (c.simulated) {
      ++simulated;
      continue;
    }
    ++real;
    CheckCamera(r, c, &neededMb);
  }
  if (simulated != 0) r.Info(Printf("%u simulated camera(s) from VEXCAM_SIMULATOR", simulated));
  if (real == 0 && simulated == 0) {
    r.Block("no camera on the USB bus",
            Printf("connect the camera (check 'lsusb -d 04b4:'); without one, try "
                   "VEXCAM_SIMULATOR=%04X vexcam list",
                   build::ProductId()));
  } else if (real != 0) {
    r.Ok(Printf("%u camera(s) on the USB bus", real));
  }

  std::printf("usbfs memory\n");
  const std::string limit = ReadLine("/sys/module/usbcore/parameters/usbfs_memory_mb");
  if (limit.empty()) {
    r.Info("the kernel's usbfs memory limit is not readable");
  } else if (std::atoi(limit.c_str()) == 0) {
    r.Ok("no usbfs memory limit");
  } else if (std::atoi(limit.c_str()) < neededMb + 8) {
    r.Warn(Printf("usbfs memory limit %s MB, shared by every USB device; the %u camera(s) need "
                  "about %.0f MB while "
                  "streaming",
                  limit.c_str(), real, neededMb),
           "echo 256 | sudo tee /sys/module/usbcore/parameters/usbfs_memory_mb (kernel parameter "
           "usbcore.usbfs_memory_mb=256 to keep it)");
  } else {
    r.Ok(Printf("usbfs memory limit %s MB; the %u camera(s) need about %.0f MB", limit.c_str(),
                real, neededMb));
  }
}

void CheckSettings(Report& r, const VEXCAM_DIAGNOSIS& d) {
  std::printf("settings\n");
  const std::string path = d.settingsPath;
  switch (d.settingsState) {
    case VEXCAM_SETTINGS_MISSING:
      r.Ok("no settings file yet (" + path + "): defaults apply, the first change makes it");
      break;
    case VEXCAM_SETTINGS_PARSED: {
      std::string names;
      for (DWORD i = 0; i < d.settingsCameras && i < 8; ++i) {
        names += std::string(i ? ", " : "") + d.settingsCameraNames[i];
      }
      r.Ok(Printf("%s parses; %u camera(s)%s%s", path.c_str(),
                  static_cast<unsigned>(d.settingsCameras), names.empty() ? "" : ": ",
                  names.c_str()));
      break;
    }
    case VEXCAM_SETTINGS_UNREADABLE:
      r.Warn(path + " cannot be read: the library starts from defaults and cannot save",
             "ls -l " + path + "; chown " + UserName() + " " + path);
      break;
    case VEXCAM_SETTINGS_CORRUPT:
      r.Warn(
          path +
              " does not parse: the library reads it as empty and moves it aside at the next save",
          "mv " + path + " " + path + ".bad (or repair it by hand)");
      break;
    default:
      r.Warn("no home folder to keep the settings in: nothing is saved",
             "export XDG_CONFIG_HOME=$HOME/.config");
      break;
  }
}

void CheckTable(Report& r, const VEXCAM_DIAGNOSIS& d) {
  std::printf("shared device table\n");
  unsigned stale = 0;
  std::string staleList;
  for (DWORD i = 0; i < d.tableCount; ++i) {
    if (d.table[i].present) continue;
    ++stale;
    staleList += Printf("\n        %u: %04x:%04x %s", static_cast<unsigned>(i), d.table[i].vendorId,
                        d.table[i].productId, d.table[i].path);
  }
  if (d.tableCount >= 32 && stale != 0) {
    r.Warn(Printf("the table is full (32 entries, %u of them for cameras no longer attached): new "
                  "cameras get no "
                  "device number",
                  stale),
           "close every program that uses the library; the table is rebuilt by the next one");
  } else if (stale != 0) {
    r.Info(
        Printf("%u of %u entries are cameras no longer attached (device numbers stay stable while "
               "a program "
               "uses the library):%s",
               stale, static_cast<unsigned>(d.tableCount), staleList.c_str()));
  } else {
    r.Ok(Printf("%u entries, all attached", static_cast<unsigned>(d.tableCount)));
  }
}

void CheckModules(Report& r, const VEXCAM_DIAGNOSIS& d) {
  std::printf("preview window\n");
  if (d.previewModule[0] != '\0') {
    r.Ok(std::string("preview module: ") + d.previewModule);
  } else {
    r.Warn(
        std::string("no preview module loads (") + d.previewModuleError +
            "): capture works, windows do not",
        "install the libvexcam package again, or set VEXCAM_PREVIEW_MODULE to libVexCamPreview.so");
  }
  if (d.dialogsModule[0] != '\0') {
    r.Ok(std::string("dialogs module: ") + d.dialogsModule);
  } else {
    r.Info("no dialogs module: the settings dialogs are not available");
  }
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    r.Info("no DISPLAY: capture works, preview windows cannot open");
  } else if (display[0] == ':' && !Exists(Printf("/tmp/.X11-unix/X%d", std::atoi(display + 1)))) {
    r.Warn(Printf("DISPLAY is %s but no X server listens there", display),
           "start the X session, or unset DISPLAY");
  } else {
    r.Ok(Printf("display %s", display));
  }
}

}  // namespace

int RunDoctor() {
  auto d = std::make_unique<VEXCAM_DIAGNOSIS>();
  d->size = sizeof(VEXCAM_DIAGNOSIS);
  if (!VexCamX_Diagnose(d.get())) {
    std::fprintf(stderr, "vexcam: the library could not run its diagnosis\n");
    return 1;
  }
  Report r;
  CheckCameras(r, *d);
  CheckRule(r);
  CheckSettings(r, *d);
  CheckTable(r, *d);
  CheckModules(r, *d);
  std::printf("\n");
  if (r.blocking != 0) {
    std::printf("%d problem(s) block capture, %d warning(s).\n", r.blocking, r.warnings);
    return 1;
  }
  std::printf("nothing blocks capture (%d warning(s)).\n", r.warnings);
  return 0;
}

}  // namespace vexcam::tool
