#include "TavrixLiveLinkSourceSettings.h"

UTavrixLiveLinkSourceSettings::UTavrixLiveLinkSourceSettings()
{
	// A source that publishes one frame per tick stamps it with the tick's own time, so between datagrams Live Link
	// buffers copies of one pose. Evaluating by engine time would blend those copies a tick or more behind the
	// newest; the newest frame is the latest pose with nothing added. With "Frame per Datagram" the frames carry
	// their own times, and the user may choose engine time or timecode to interpolate between real poses.
	Mode = ELiveLinkSourceMode::Latest;
}
