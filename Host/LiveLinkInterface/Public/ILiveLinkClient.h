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
	/** Removes the subject; its later pushes under the same key make a new subject. */
	virtual void RemoveSubject_AnyThread(const FLiveLinkSubjectKey& SubjectName) = 0;
	/**
	 * Only one subject of a name is enabled across all sources: the first one made, until another is enabled in its
	 * place. A disabled subject keeps its static data and drops its frames. False for an unknown subject.
	 */
	virtual bool IsSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bForThisFrame) const = 0;
	/** Whether some source's subject of that name is enabled. */
	virtual bool IsSubjectEnabled(FLiveLinkSubjectName SubjectName) const = 0;
	/** Enabling a subject disables every other subject of its name. */
	virtual void SetSubjectEnabled(const FLiveLinkSubjectKey& SubjectKey, bool bEnabled) = 0;
};
