// Which ALSA device hints the options offer for playback.
#include <gtest/gtest.h>

#include "platform/pcmnames.h"

TEST(PcmNames, OffersTheServersAndEachCardsConvertingDevices) {
  struct Case {
    const char* Name;
    bool Offered;
  };
  const Case cases[] = {
      {"default", true},
      {"pipewire", true},
      {"pulse", true},
      {"plughw:CARD=PCH,DEV=0", true},
      {"sysdefault:CARD=PCH", true},
      {"hw:CARD=PCH,DEV=0", false},  // rejects formats the card lacks
      {"dmix:CARD=PCH,DEV=0", false},
      {"surround51:CARD=PCH,DEV=0", false},
      {"null", false},
      {"defaults", false},
      {"xplughw:CARD=PCH", false},
  };
  for (const Case& c : cases) EXPECT_EQ(plat::IsOfferedPcm(c.Name), c.Offered) << c.Name;
  std::vector<std::string> names = plat::PlaybackPcmNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "default");
  for (size_t i = 1; i < names.size(); ++i) EXPECT_NE(names[i], "default");
}
