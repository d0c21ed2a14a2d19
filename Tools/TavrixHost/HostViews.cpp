#include "HostViews.h"

#include "JsonLine.h"

#include <chrono>
#include <cinttypes>
#include <cctype>
#include <cmath>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

std::string FormatTimecode(int32 Frame, const FFrameRate& Rate)
{
	if (Rate.Numerator <= 0 || Rate.Denominator <= 0)
	{
		return "--:--:--:--";
	}
	const int64_t FramesPerSecond = std::max<int64_t>(1, std::llround(Rate.AsDecimal()));
	const bool bNegative = Frame < 0;
	const int64_t Total = bNegative ? -static_cast<int64_t>(Frame) : Frame;
	const int64_t Seconds = Total / FramesPerSecond;
	char Buffer[48];
	std::snprintf(Buffer, sizeof(Buffer), "%s%02" PRId64 ":%02" PRId64 ":%02" PRId64 ":%02" PRId64, bNegative ? "-" : "", Seconds / 3600,
		(Seconds / 60) % 60, Seconds % 60, Total % FramesPerSecond);
	return Buffer;
}

namespace
{
std::string SceneTimeJson(const FQualifiedFrameTime& SceneTime)
{
	if (SceneTime.Rate.Numerator <= 0 || SceneTime.Rate.Denominator <= 0)
	{
		return "null";
	}
	return FJsonLine()
		.Add("frame", SceneTime.Time.GetFrame().Value)
		.Add("subframe", SceneTime.Time.GetSubFrame())
		.AddRaw("rate", "[" + std::to_string(SceneTime.Rate.Numerator) + "," + std::to_string(SceneTime.Rate.Denominator) + "]")
		.Finish();
}

class FJsonLinesView final : public IHostView
{
public:
	explicit FJsonLinesView(std::FILE* InOutput)
		: Output(InOutput)
	{
	}

	void OnSource(const FHostSourceState& State) override
	{
		Emit(FJsonLine()
				 .Add("event", "source")
				 .Add("source", State.Connection)
				 .Add("type", State.Type)
				 .Add("machine", State.Machine)
				 .Add("status", State.Status)
				 .Add("valid", State.bValid)
				 .Add("connection", State.Connection));
	}

	void OnStaticData(const std::string& Source, const std::string& Subject, const FLiveLinkCameraStaticData& StaticData) override
	{
		Emit(FJsonLine()
				 .Add("event", "static")
				 .Add("source", Source)
				 .Add("subject", Subject)
				 .Add("fieldOfView", StaticData.bIsFieldOfViewSupported)
				 .Add("aspectRatio", StaticData.bIsAspectRatioSupported)
				 .Add("focalLength", StaticData.bIsFocalLengthSupported)
				 .Add("projectionMode", StaticData.bIsProjectionModeSupported)
				 .Add("aperture", StaticData.bIsApertureSupported)
				 .Add("focusDistance", StaticData.bIsFocusDistanceSupported));
	}

	void OnFrame(const std::string& Source, const std::string& Subject, uint64_t Tick, const FLiveLinkCameraFrameData& Frame) override
	{
		const FVector& Scale3D = Frame.Transform.Scale3D;
		const float Scale[3] = {Scale3D.X, Scale3D.Y, Scale3D.Z};
		Emit(CameraEvent("frame", Source, Subject, Tick, Frame)
				 .AddRaw("scale", FJsonLine::FloatArray(Scale, 3))
				 .AddRaw("lens", LensJson(Frame)));
	}

	void OnEvaluated(const std::string& Source, const std::string& Subject, uint64_t Tick, const FLiveLinkCameraFrameData& Frame) override
	{
		Emit(CameraEvent("evaluated", Source, Subject, Tick, Frame).AddRaw("lens", LensJson(Frame)));
	}

	void OnSlate(const std::string& Slate, int32 TakeNumber) override
	{
		Emit(FJsonLine().Add("event", "slate").Add("slate", Slate).Add("takeNumber", TakeNumber));
	}

	void OnRecording(bool bRecording, const std::string& TakeFile, int64_t Frames) override
	{
		FJsonLine Line;
		Line.Add("event", "recording").Add("recording", bRecording);
		if (!TakeFile.empty())
		{
			Line.Add("take", TakeFile);
		}
		if (!bRecording)
		{
			Line.Add("frames", static_cast<long long>(Frames));
		}
		Emit(Line);
	}

	void OnLog(const std::string& Category, const std::string& Verbosity, const std::string& Text) override
	{
		Emit(FJsonLine().Add("event", "log").Add("category", Category).Add("verbosity", Verbosity).Add("text", Text));
	}

	void OnTickEnd(const FHostStatus& Status) override
	{
		const auto Now = std::chrono::steady_clock::now();
		if (Now < NextStats)
		{
			return;
		}
		NextStats = Now + std::chrono::seconds(1);
		EmitStats(Status);
	}

	/** The last values read, so that a script sees the totals of the whole run. */
	void OnShutdown(const FHostStatus& Status) override
	{
		Emit(FJsonLine()
				 .Add("event", "queue")
				 .Add("ticks", static_cast<unsigned long long>(Status.Tick))
				 .Add("framesTaken", static_cast<unsigned long long>(Status.QueuedFramesTaken))
				 .Add("mostFramesInOneTick", static_cast<unsigned long long>(Status.MostQueuedFramesInOneTick))
				 .Add("framesDropped", static_cast<unsigned long long>(Status.QueuedFramesDropped)));
		EmitStats(Status);
	}

private:
	/** What a pushed and an evaluated frame both say: whose it is, when, and where the camera is. */
	static FJsonLine CameraEvent(
		const char* Event, const std::string& Source, const std::string& Subject, uint64_t Tick, const FLiveLinkCameraFrameData& Frame)
	{
		const FTransform& Transform = Frame.Transform;
		const float Location[3] = {Transform.Translation.X, Transform.Translation.Y, Transform.Translation.Z};
		const float Rotation[4] = {Transform.Rotation.X, Transform.Rotation.Y, Transform.Rotation.Z, Transform.Rotation.W};
		FJsonLine Line;
		Line.Add("event", Event)
			.Add("source", Source)
			.Add("subject", Subject)
			.Add("tick", static_cast<unsigned long long>(Tick))
			.Add("worldTime", Frame.WorldTime.GetOffsettedTime())
			.AddRaw("sceneTime", SceneTimeJson(Frame.MetaData.SceneTime))
			.AddRaw("location", FJsonLine::FloatArray(Location, 3))
			.AddRaw("rotation", FJsonLine::FloatArray(Rotation, 4));
		return Line;
	}

	static std::string LensJson(const FLiveLinkCameraFrameData& Frame)
	{
		return FJsonLine()
			.Add("focalLength", Frame.FocalLength)
			.Add("focusDistance", Frame.FocusDistance)
			.Add("aspectRatio", Frame.AspectRatio)
			.Add("fieldOfView", Frame.FieldOfView)
			.Finish();
	}

	/**
	 * Per source, its "Subject", "Options", "Stream", "Capture" and "Senders" details, each under its property's name with a lower-case
	 * letter.
	 */
	void EmitStats(const FHostStatus& Status)
	{
		for (const FHostSourceStatus& Source : Status.Sources)
		{
			EmitStats(Source);
		}
	}

	void EmitStats(const FHostSourceStatus& Source)
	{
		FJsonLine Line;
		Line.Add("event", "stats").Add("source", Source.Source.Connection).Add("subject", Source.Subject);
		bool bAny = false;
		for (const FHostSourceDetail& Detail : Source.Details)
		{
			if ((Detail.Category == "Subject" || Detail.Category == "Options" || Detail.Category == "Stream" ||
					Detail.Category == "Capture" || Detail.Category == "Senders") &&
				!Detail.Name.empty())
			{
				std::string Key = Detail.Name;
				Key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(Key[0])));
				Line.AddRaw(Key, Detail.Json);
				bAny = true;
			}
		}
		if (bAny)
		{
			Emit(Line);
		}
	}

	void Emit(const FJsonLine& Line)
	{
		const std::string Text = Line.Finish() + "\n";
		std::fwrite(Text.data(), 1, Text.size(), Output);
		std::fflush(Output);
	}

	std::FILE* Output;
	std::chrono::steady_clock::time_point NextStats{};
};

class FLiveView final : public IHostView
{
public:
	explicit FLiveView(std::FILE* InOutput)
		: Output(InOutput)
	{
		// The alternate screen keeps the user's scroll-back clean; the cursor is hidden while drawing.
		std::fputs("\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J", Output);
		std::fflush(Output);
	}
	~FLiveView() override
	{
		std::fputs("\x1b[?25h\x1b[?1049l", Output);
		std::fflush(Output);
	}

	void OnNote(const std::string& Text) override { Notes.push_back(Text.substr(0, Text.find('\n'))); }

	void OnTickEnd(const FHostStatus& Status) override
	{
		const auto Now = std::chrono::steady_clock::now();
		if (Now < NextDraw)
		{
			return;
		}
		NextDraw = Now + std::chrono::milliseconds(200);
		Draw(Status);
	}

	void OnShutdown(const FHostStatus& Status) override { Draw(Status); }

private:
	void Draw(const FHostStatus& Status)
	{
		std::vector<std::string> Lines;
		char Buffer[256];
		const auto Line = [&](const char* Format, auto... Args) {
			std::snprintf(Buffer, sizeof(Buffer), Format, Args...);
			Lines.emplace_back(Buffer);
		};
		Line(" \x1b[1mTavrix Live Link\x1b[0m  headless editor host%s   tick %" PRIu64 " @ %.0f Hz   %.1f s",
			Status.bDemo ? " (demo camera)" : "", Status.Tick, Status.TickHz, Status.ElapsedSeconds);
		Lines.emplace_back("");
		Lines.emplace_back(" \x1b[1mLive Link\x1b[0m");
		if (Status.Sources.empty())
		{
			Lines.emplace_back("   no source");
		}
		for (size_t Index = 0; Index < Status.Sources.size(); ++Index)
		{
			if (Index > 0)
			{
				Lines.emplace_back("");
			}
			DrawSource(Status.Sources[Index], Line, Lines);
		}
		Lines.emplace_back("");
		Lines.emplace_back(" \x1b[1mTake Recorder\x1b[0m");
		if (!Status.bTakeRecorderOpen)
		{
			Lines.emplace_back("   panel closed");
		}
		else
		{
			Line("   Slate      \"%s\"   take %d", Status.Slate.c_str(), Status.TakeNumber);
			if (Status.bRecording)
			{
				Line("   \x1b[1;31m● RECORDING\x1b[0m  %s  (%" PRId64 " frames)", Status.TakeFile.c_str(), Status.TakeFrames);
			}
			else if (Status.bCountingDown)
			{
				Lines.emplace_back("   counting down to a take");
			}
			else
			{
				Line("   idle%s%s", Status.TakeFile.empty() ? "" : "   last take ", Status.TakeFile.c_str());
			}
		}
		Lines.emplace_back("");
		Lines.emplace_back(" \x1b[1mLog\x1b[0m");
		// Plain text that could be wider than the terminal is cut, so that no line wraps and shifts the screen.
		winsize Window{};
		const bool bKnownSize = ::ioctl(::fileno(Output), TIOCGWINSZ, &Window) == 0 && Window.ws_col > 8 && Window.ws_row > 4;
		const size_t Columns = bKnownSize ? Window.ws_col : 120;
		const size_t Rows = bKnownSize ? Window.ws_row : 60;
		const auto Fit = [Columns](
							 const std::string& Text) { return Text.size() + 4 > Columns ? Text.substr(0, Columns - 5) + "…" : Text; };
		for (const std::string& Text : Status.RecentLog)
		{
			Lines.push_back("   " + Fit(Text));
		}
		for (size_t Index = Notes.size() > 3 ? Notes.size() - 3 : 0; Index < Notes.size(); ++Index)
		{
			Lines.push_back("   " + Fit(Notes[Index]));
		}
		Lines.emplace_back("");
		Lines.emplace_back(" Ctrl-C to stop");

		// One write per frame: home, each line cleared to its end, then the rest of the screen cleared.
		std::string Screen = "\x1b[H";
		for (size_t Index = 0; Index < Lines.size() && Index + 1 < Rows; ++Index)
		{
			Screen += Lines[Index];
			Screen += "\x1b[K\n";
		}
		Screen += "\x1b[J";
		std::fwrite(Screen.data(), 1, Screen.size(), Output);
		std::fflush(Output);
	}

	/** One source as the panel shows it when selected: its row, its details, then its subject. */
	template <typename FLineFunction>
	static void DrawSource(const FHostSourceStatus& Status, const FLineFunction& Line, std::vector<std::string>& Lines)
	{
		const FHostSourceState& Source = Status.Source;
		Line("   Source     %-28s machine %s", Source.Type.c_str(), Source.Machine.c_str());
		Line("   Status     %s%-28s\x1b[0m valid %s   listening on %s", Source.bValid ? "\x1b[32m" : "\x1b[31m", Source.Status.c_str(),
			Source.bValid ? "yes" : "no", Source.Connection.c_str());
		// The source's details, category by category, as the panel lists them under the selected source.
		std::string Category;
		for (const FHostSourceDetail& Detail : Status.Details)
		{
			if (Detail.Category != Category)
			{
				Category = Detail.Category;
				Line("   %-10s", Category.c_str());
			}
			Line("     %-30s %s", Detail.DisplayName.c_str(), Detail.Text.empty() ? "-" : Detail.Text.c_str());
		}
		Line("   Subject    %s%s", Status.Subject.c_str(), Status.bHasStaticData ? "  (camera role)" : "");
		if (Status.bHasFrame)
		{
			// The frame last pushed beside the one a camera reads this frame (the snapshot the tick built from the
			// buffer by the source's evaluation mode), row by row.
			const std::vector<std::string> Pushed = DescribeFrame(Status.LastFrame);
			const std::vector<std::string> Evaluated =
				Status.bHasEvaluated ? DescribeFrame(Status.Evaluated) : std::vector<std::string>{"none (no valid snapshot)"};
			static const char* const Labels[] = {"Location", "Rotation", "Scale", "Lens", "World time", "Scene time"};
			Line("   %-12s %-52s %s", "", "pushed (newest)", "evaluated (this frame)");
			for (size_t Row = 0; Row < Pushed.size(); ++Row)
			{
				Line("   %-12s %-52s %s", Labels[Row], Pushed[Row].c_str(), Row < Evaluated.size() ? Evaluated[Row].c_str() : "");
			}
		}
		else
		{
			Lines.emplace_back("   waiting for the first datagram");
		}
		Line("   Rates      %.1f updates/s received   %.1f frames/s published", Status.UpdatesPerSecond, Status.PublishedPerSecond);
	}

	/** One camera frame as the rows of the subject's table: location, rotation, scale, lens, world time, scene time. */
	static std::vector<std::string> DescribeFrame(const FLiveLinkCameraFrameData& Frame)
	{
		const FTransform& Transform = Frame.Transform;
		const auto Format = [](const char* Pattern, auto... Values) {
			char Buffer[128];
			std::snprintf(Buffer, sizeof(Buffer), Pattern, Values...);
			return std::string(Buffer);
		};
		std::vector<std::string> Rows;
		Rows.push_back(Format("%12.3f %12.3f %12.3f", Transform.Translation.X, Transform.Translation.Y, Transform.Translation.Z));
		Rows.push_back(Format(
			"%9.6f %9.6f %9.6f %9.6f (xyzw)", Transform.Rotation.X, Transform.Rotation.Y, Transform.Rotation.Z, Transform.Rotation.W));
		Rows.push_back(Format("%12.3f %12.3f %12.3f", Transform.Scale3D.X, Transform.Scale3D.Y, Transform.Scale3D.Z));
		Rows.push_back(Format(
			"focal %.3f focus %.3f aspect %.4f fov %.3f", Frame.FocalLength, Frame.FocusDistance, Frame.AspectRatio, Frame.FieldOfView));
		Rows.push_back(Format("%.6f s", Frame.WorldTime.GetOffsettedTime()));
		const FQualifiedFrameTime& SceneTime = Frame.MetaData.SceneTime;
		if (SceneTime.Rate.Numerator > 0 && SceneTime.Rate.Denominator > 0)
		{
			Rows.push_back(Format("%s @ %d/%d (frame %d + %.2f)", FormatTimecode(SceneTime.Time.GetFrame().Value, SceneTime.Rate).c_str(),
				SceneTime.Rate.Numerator, SceneTime.Rate.Denominator, SceneTime.Time.GetFrame().Value, SceneTime.Time.GetSubFrame()));
		}
		else
		{
			Rows.emplace_back("none (no timecode received)");
		}
		return Rows;
	}

	std::FILE* Output;
	std::chrono::steady_clock::time_point NextDraw{};
	std::vector<std::string> Notes;
};

class FPlainView final : public IHostView
{
public:
	explicit FPlainView(std::FILE* InOutput)
		: Output(InOutput)
	{
	}

	void OnSource(const FHostSourceState& State) override
	{
		Print("source " + State.Type + " on " + State.Connection + ": " + State.Status + (State.bValid ? " (valid)" : " (not valid)"));
	}
	void OnSlate(const std::string& Slate, int32 TakeNumber) override
	{
		Print("slate \"" + Slate + "\" take " + std::to_string(TakeNumber));
	}
	void OnRecording(bool bRecording, const std::string& TakeFile, int64_t Frames) override
	{
		Print(bRecording ? "recording " + TakeFile : "stopped recording " + TakeFile + " (" + std::to_string(Frames) + " frames)");
	}
	void OnLog(const std::string& Category, const std::string& Verbosity, const std::string& Text) override
	{
		Print(Category + ": " + Verbosity + ": " + Text);
	}
	void OnNote(const std::string& Text) override { Print(Text); }
	void OnTickEnd(const FHostStatus& Status) override
	{
		const auto Now = std::chrono::steady_clock::now();
		if (Now < NextStatus)
		{
			return;
		}
		NextStatus = Now + std::chrono::seconds(1);
		std::string Text = "tick " + std::to_string(Status.Tick) + ":";
		char Buffer[160];
		for (const FHostSourceStatus& Source : Status.Sources)
		{
			std::snprintf(Buffer, sizeof(Buffer), "%s%s %.1f updates/s, %.1f frames/s published",
				&Source == &Status.Sources.front() ? " " : "; ", Source.Source.Connection.c_str(), Source.UpdatesPerSecond,
				Source.PublishedPerSecond);
			Text += Buffer;
		}
		Print(Text + (Status.bRecording ? ", recording" : ""));
	}

private:
	void Print(const std::string& Text)
	{
		std::fprintf(Output, "%s\n", Text.c_str());
		std::fflush(Output);
	}

	std::FILE* Output;
	std::chrono::steady_clock::time_point NextStatus{};
};
} // namespace

std::unique_ptr<IHostView> MakeJsonLinesView(std::FILE* Output)
{
	return std::make_unique<FJsonLinesView>(Output);
}

std::unique_ptr<IHostView> MakeLiveView(std::FILE* Output)
{
	return std::make_unique<FLiveView>(Output);
}

std::unique_ptr<IHostView> MakePlainView(std::FILE* Output)
{
	return std::make_unique<FPlainView>(Output);
}
