// Stand-in for the engine's ILiveLinkClient: what a source calls on the client. No subject evaluation API.
#pragma once

#include "CoreMinimal.h"
#include "LiveLinkRole.h"
#include "LiveLinkTypes.h"

class ILiveLinkClient
{
public:
	virtual ~ILiveLinkClient() = default;

	/**
	 * Raised once per Live Link tick on the game thread. Subscriptions are added and removed on the game thread
	 * only (the notification takes no lock); a subscriber may remove itself while it is being called.
	 */
	virtual FSimpleMulticastDelegate& OnLiveLinkTicked() = 0;
	/** Takes the record; the subject exists from then on with that role. */
	virtual void PushSubjectStaticData_AnyThread(
		const FLiveLinkSubjectKey& SubjectKey, TSubclassOf<ULiveLinkRole> Role, FLiveLinkStaticDataStruct&& StaticData) = 0;
	/** Takes the record. A frame for a subject without static data, or of another role's type, is dropped. */
	virtual void PushSubjectFrameData_AnyThread(const FLiveLinkSubjectKey& SubjectKey, FLiveLinkFrameDataStruct&& FrameData) = 0;
	/** Marks the subject; the next tick removes it before applying that tick's queued data. */
	virtual void RemoveSubject_AnyThread(const FLiveLinkSubjectKey& SubjectName) = 0;
	/** Whether the subject is enabled for this frame, or (bForThisFrame false) as last asked. Game thread. */
	virtual bool IsSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bForThisFrame) const = 0;
	/** Whether a subject of that name is enabled, from any source. Game thread. */
	virtual bool IsSubjectEnabled(FLiveLinkSubjectName SubjectName) const = 0;
	/** Enabling one subject disables the others of its name; both from the next tick. Game thread. */
	virtual void SetSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bEnabled) = 0;
};
